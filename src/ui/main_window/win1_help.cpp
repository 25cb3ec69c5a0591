// The Help menu: the help window, the home page, the support mail and the
// About box.
#include "app/product.h"
#include "help/help_file.h"
#include "help/hh.h"
#include "help/support_mail.h"
#include "ui/dialogs/about.h"
#include "ui/dialogs/prompts.h"
#include "ui/main_window/main_menu.h"
#include "ui/main_window/win1.h"

namespace ui {

void TMainWin::Help2Click() {
    help::HtmlHelp& hh = help::ApplicationHelp();
    const QString message = hh.ShowHelpTopic(hh.helpFile + std::string(help::kHelpTopicPath), this);
    if (!message.isEmpty()) prompts_.error(message);
}

void TMainWin::Homepage1Click() {
    if (auto why = help::OpenAddress(OpenUrl, mainMenu_->homePageAddress()))
        prompts_.plain(QStringLiteral("Error: ") + QString::fromStdString(*why));
}

void TMainWin::Support1Click() {
    const std::string address = help::SupportMailAddress(product::kSupportEmail, product::kVersion,
                                                         help::CurrentOsVersion());
    if (auto why = help::OpenAddress(OpenUrl, QString::fromStdString(address)))
        prompts_.error(QString::fromStdString(*why));
}

void TMainWin::About1Click() { ShowAboutBox(0, prompts_, OpenUrl, this); }

}  // namespace ui
