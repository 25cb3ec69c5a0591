// TMainWin: the main window. It owns the connection object, the dialogs and
// the status bar, and wires its panes, each of which owns its controls:
//   MainMenu         main_menu.h         the main menu
//   ClassBrowser     class_browser.h     the Classes tab: class list, properties, methods
//   InstanceBrowser  instance_browser.h  the Instances page of the Classes tab
//   QueryPane        query_pane.h        the Query tab: running, the result, its sort, export
// The window's own commands (start-up, refresh, find, connect, settings,
// help, the hand-back at close) are in the win1_*.cpp files.
//
// The control names are the design's own; each is the control's object name,
// by which tests find it. What they are:
//   PageControl2   the main tabs: TabClasses ("Classes") and TabQuery ("Query")
//   ClassListBox   the class list (top of the Classes tab); PopupMenu1 its menu
//   Splitter1      between the class list and Panel2 (the lower half)
//   Splitter2      between PageControl3 and PageControl1 inside Panel2
//   PageControl3   TabSheet4 ("Instances") with InstanceListBox; PopupMenu3
//   PageControl1   TabSheet1 ("Properties") with PropGrid (PopupMenu2) and
//                  TabSheet2 ("Methods") with TreeView1 (PopupMenu4)
//   Panel4         the Classes tab's query strip: Label4, QueryCombo, Query1Btn
//                  (Query1Btn runs QueryCombo's text on the Query tab)
//   Panel5         the Query tab's strip: Label5, Query2Combo, Query2Btn (Execute)
//   ListView1      the Query tab's result table; ListView1Model its ResultModel
//   StatusPanel0..2  the status bar's three panels: host and namespace, count,
//                  messages and timings
//   Action1, Search2, Help1   the main menu's menus; their items end in "1"
//                  (Refresh1, Savequeryresultas1, Search1, Findagain1, About1...)
//   Panel1         the central widget holding PageControl2
#pragma once

#include <QMainWindow>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "help/url_opener.h"
#include "settings/placement.h"
#include "settings/remote_hosts.h"
#include "settings/settings.h"
#include "ui/command_line.h"
#include "wmi/bw_wmi.h"

class QLabel;
class QTabWidget;

namespace ui {

class ClassBrowser;
class ElidedLabel;
class ImageList;
class InstanceBrowser;
class MainMenu;
class Prompts;
class QueryPane;
class TConnectForm;
class TFindDialog;
class TNameSpaceForm;

struct MainWindowOptions {
    // Full name of the settings file (the program passes settings::SettingsFileName()).
    std::string settingsFile;
    // The command line without the program's own path.
    std::vector<std::string> arguments;
    // Wall-clock time in milliseconds for the query timing; empty = the system clock.
    std::function<int64_t()> clock;
};

class TMainWin : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kTabClasses = 0;
    static constexpr int kTabQuery = 1;

    TMainWin(Prompts& prompts, MainWindowOptions options, QWidget* parent = nullptr);
    ~TMainWin() override;  // FormDestroy

    // --- Start-up and window life (win1.cpp) -------------------------------------------
    void FormActivate();    // the work of the first activation; later calls do nothing
    bool FormCloseQuery();  // a close request: saves, then asks the hand-back; true = close
    void FormResize();      // keeps the grid's value column filling the grid
    void PageControl2Change();
    void Refresh1Click();
    void Exit1Click();
    void LoadClassList();
    void LoadSettings(const settings::ProfileFile& file);  // win1_settings.cpp
    bool SaveSettings();  // histories and placement, one atomic write
    // The connect, namespace and find dialogs are built when first needed
    // (a command that opens one, or the close that saves their histories),
    // not with the window; this builds them now if they are not yet built.
    void prepareDialogs();
    // The offer of the query to the calling program at close; it may clear
    // canClose (win1_handback.cpp).
    void HandBackQuery(bool& canClose);

    // --- The panes' handlers that carry the window's work ------------------------------
    void Query2BtnClick();                  // query_pane.cpp: runs Query2Combo's text
    void ListView1ColumnClick(int column);  // query_pane.cpp: sorts the result
    void Savequeryresultas1Click();         // query_export.cpp
    void ClassListBoxClick();               // class_browser.cpp: shows the selected class
    // The other handlers are the panes' own: InstanceListBoxClick in
    // instance_browser.cpp, the popup menus' in the pane whose view they serve.

    // --- Find (win1_find.cpp) ----------------------------------------------------------
    void Search1Click();
    void Findagain1Click();
    // Searches the list of the active page with the last search's text and
    // options, from the top or after the current entry, and tells the user.
    void FindNext(bool fromStart);

    // --- Connect dialog and namespace chooser (win1_connect.cpp) -----------------------
    // Fills the connect dialog from the connection; on OK applies it, reloads
    // the class list and takes the host's code set as CodePage.
    void Connecttoremotehost1Click();

    // --- Help and information (win1_help.cpp) ------------------------------------------
    void Help2Click();      // the help window at the program's start page
    void Homepage1Click();  // the address held by Homepage1
    void Support1Click();   // a support mail naming the version and the system
    void About1Click();     // the About box, until the user closes it
    // Opens web and mail addresses; tests put their own in its place.
    help::UrlOpener OpenUrl = help::DefaultUrlOpener();

    // --- Helpers the handlers of the window share --------------------------------------
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    // Makes a page active without running PageControl2Change, as code does.
    void SelectPage(int index);
    int ActivePage() const;

    // --- State -------------------------------------------------------------------------
    std::unique_ptr<wmi::TWMI> WMI;
    bool Activated = false;
    bool ClassListLoaded = false;
    CommandLineParams Params;  // CallerWindow and CommandLineQuery
    // The protocol choices of each remote host connected to through the
    // connect dialog, most recent first; read with the settings, written at
    // every such connect.
    settings::RemoteHostList RemoteHosts;
    // The last search, exactly as typed, and its options.
    QString SearchText;
    bool SearchMatchCase = false;
    bool SearchWholeWord = false;

  signals:
    // After every LoadClassList, with the class list filled and the status bar set.
    void classListLoaded();
    // After every Query2BtnClick, successful or not.
    void queryFinished(bool ok);

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FormCreate();
    void prepareAhead();
    void buildLayout();
    void buildStatusBar();
    void wirePanes();
    // Runs the text on the Query tab, which becomes the active page from code
    // (Query1Btn and Selectfrom1 of the class browser end here).
    void runOnQueryTab(const QString& text);
    // The end of a run of the instance thread, in the status bar.
    void InstancesDone(int count, const QString& error);

    // The four histories, the dialogs' as they hold them or, until they are
    // built, as read for them.
    settings::Histories CollectHistories() const;
    void applyDialogHistories();
    settings::WindowPlacement CurrentPlacement() const;
    settings::ScreenInfo CurrentScreen() const;
    void ApplyPlacement(const settings::WindowPlacement& placement);
    // Fits the window into the restored frame, again once the window
    // manager's frame is known (tried `triesLeft` more times).
    void fitRestoredFrame(int triesLeft);

    Prompts& prompts_;
    MainWindowOptions options_;
    // The fonts and this machine's schema, read on another thread while the
    // window is built; waited for (if still running) when the window goes.
    std::future<void> ahead_;

    // Shared with the views that draw from it, which Qt may ask for pictures
    // while it takes the window apart.
    std::shared_ptr<const ImageList> ImageList1;
    QWidget* Panel1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    std::array<ElidedLabel*, 3> StatusPanels{};
    // The restored outer frame.
    QRect restoredFrame_;
    bool restoredOnScreen_ = false;
    MainMenu* mainMenu_ = nullptr;
    ClassBrowser* classes_ = nullptr;
    InstanceBrowser* instances_ = nullptr;
    QueryPane* query_ = nullptr;

    TFindDialog* FindDialog = nullptr;  // made once, kept with its history
    // Made once; ConnectForm's combo boxes hold the host and namespace histories.
    TConnectForm* ConnectForm = nullptr;
    TNameSpaceForm* NameSpaceForm = nullptr;
    // The dialogs' histories as read at activation, kept until the dialogs
    // are built.
    std::optional<settings::Histories> dialogHistories_;
};

}  // namespace ui
