// The program's help: the help file chosen at start, the library that reads
// it, and the one help window. Program-wide, as the Help command is.
#pragma once

#include <QPointer>
#include <QString>
#include <string>
#include <string_view>

#include "help/chm_library.h"
#include "help/help_viewer.h"
#include "help/url_opener.h"

class QWidget;

namespace help {

// The two answers of the Help command when it cannot show the page; the
// message boxes show each "\r\n" as one line break.
inline constexpr std::string_view kHelpFileNotFound =
    "Help file not found: watchpost.chm\r\nHelp file not found: cimscope.chm";
inline constexpr std::string_view kLibraryNotInitialized =
    "Library hhctrl.ocx not initialized\r\n"
    "Make sure you have Internet Explorer 4.0 or higher installed on your computer";

class HtmlHelp {
  public:
    HtmlHelp() = default;
    ~HtmlHelp() { FreeHtmlHelp(); }
    HtmlHelp(const HtmlHelp&) = delete;
    HtmlHelp& operator=(const HtmlHelp&) = delete;

    // Full name of the help file, empty when none was found.
    std::string helpFile;
    // Opens the addresses outside the help file that its pages link to.
    UrlOpener opener = DefaultUrlOpener();

    // Loads the library by name; nothing happens when one is loaded.
    void LoadHtmlHelp(const std::string& libraryName = kChmLibraryName);
    // Closes the help window and releases the library.
    void FreeHtmlHelp();
    bool Initialized() const { return library_.Api() != nullptr; }

    // Shows "<help file>::<path>" in the help window, made as a window of
    // owner the first time. Empty when shown; otherwise the message to show.
    QString ShowHelpTopic(const std::string& topic, QWidget* owner);

    // The help window once it was made (and while its owner lives).
    HelpViewer* viewer() const { return viewer_; }

  private:
    ChmLibrary library_;
    QPointer<HelpViewer> viewer_;
};

// The program's one help.
HtmlHelp& ApplicationHelp();

// For main(): chooses the help file in the program's folder and loads the
// library; at the end closes the help window and releases the library.
class HelpSession {
  public:
    explicit HelpSession(const std::string& programDir);
    ~HelpSession();
    HelpSession(const HelpSession&) = delete;
    HelpSession& operator=(const HelpSession&) = delete;
};

}  // namespace help
