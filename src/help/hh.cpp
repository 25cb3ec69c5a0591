#include "help/hh.h"

#include "help/help_file.h"

namespace help {

void HtmlHelp::LoadHtmlHelp(const std::string& libraryName) { library_.Load(libraryName); }

void HtmlHelp::FreeHtmlHelp() {
    // The window reads through the library; it must be gone first.
    delete viewer_.data();
    library_.Free();
}

QString HtmlHelp::ShowHelpTopic(const std::string& topic, QWidget* owner) {
    if (helpFile.empty())
        return QString::fromUtf8(kHelpFileNotFound.data(), kHelpFileNotFound.size());
    const ChmApi* api = library_.Api();
    if (!api)
        return QString::fromUtf8(kLibraryNotInitialized.data(), kLibraryNotInitialized.size());

    const HelpTopic wanted = SplitTopic(topic);
    if (viewer_ && viewer_->file().path() != wanted.file) delete viewer_.data();
    if (!viewer_) {
        std::unique_ptr<ChmFile> file = ChmFile::Open(*api, wanted.file);
        if (!file)
            return QStringLiteral("Cannot open help file: ") + QString::fromStdString(wanted.file);
        viewer_ = new HelpViewer(std::move(file), opener, owner);
    }
    // A topic without a page opens the program's start page.
    viewer_->showTopic(wanted.path.empty() ? SplitTopic(kHelpTopicPath).path : wanted.path);
    return {};
}

HtmlHelp& ApplicationHelp() {
    static HtmlHelp help;
    return help;
}

HelpSession::HelpSession(const std::string& programDir) {
    ApplicationHelp().helpFile = ChooseHelpFile(programDir);
    ApplicationHelp().LoadHtmlHelp();
}

HelpSession::~HelpSession() { ApplicationHelp().FreeHtmlHelp(); }

}  // namespace help
