// TMainWin: the main window. It owns the connection object, the instance
// thread and the controls every handler of the window works on. Handlers are
// thin: they call the logic of the other files of this folder and of the WMI
// layer, and are public so that tests can drive them without a screen.
//
// The control names are the design's own; each is also the control's object
// name. What they are:
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
//   StatusPanels   the status bar's three panels: host and namespace, count,
//                  messages and timings
//   Action1, Search2, Help1   the main menu's menus; their items end in "1"
//                  (Refresh1, Savequeryresultas1, Search1, Findagain1, About1...)
//   Panel1         the central widget holding PageControl2
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "help/url_opener.h"
#include "settings/placement.h"
#include "settings/remote_hosts.h"
#include "settings/settings.h"
#include "ui/command_line.h"
#include "ui/widgets/image_list.h"
#include "wmi/bw_wmi.h"
#include "wmi/instances_thread.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTreeView;
class QTreeWidget;

namespace ui {

class ColumnListBox;
class InstanceLineBox;
class Prompts;
class ResultModel;
class StringGrid;
class TFindDialog;
class TConnectForm;
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
    static constexpr int kInstanceLimit = 30000;
    static constexpr int kTabClasses = 0;
    static constexpr int kTabQuery = 1;

    TMainWin(Prompts& prompts, MainWindowOptions options, QWidget* parent = nullptr);
    ~TMainWin() override;  // FormDestroy

    // --- Start-up and window life ---------------------------------------------
    void FormActivate();    // the work of the first activation; later calls do nothing
    bool FormCloseQuery();  // a close request: saves, then asks the hand-back; true = close
    void FormResize();      // keeps the grid's value column filling the grid
    void PageControl2Change();
    void Refresh1Click();
    void Exit1Click();
    void LoadClassList();
    void LoadSettings(const settings::ProfileFile& file);
    bool SaveSettings();  // histories and placement, one atomic write
    // The offer of the query to the calling program at close; it may clear
    // canClose (win1_handback.cpp).
    void HandBackQuery(bool& canClose);

    // --- Query tab ---------------------------------------------------------------
    void Query2BtnClick();
    bool Query2ComboKeyPress(char key);  // true when the key was consumed
    void ListView1ColumnClick(int column);
    void Query1BtnClick();

    // --- Class browser, instance browser, clipboard commands -------------------------
    // ClassListBoxClick runs at every selection change of ClassListBox that
    // signals and at a click on the entry already selected; code that selects
    // a class without it being the user's choice (the search) blocks the
    // list's signals meanwhile.
    void ClassListBoxClick();
    void PopupMenu1Popup();
    void Selectfrom1Click();
    void Refresh2Click();
    // Runs at every selection change of InstanceListBox and at a click on the
    // line that is already selected.
    void InstanceListBoxClick();
    void PopupMenu2Popup();
    void CopyPropert1Click();
    void PopupMenu3Popup();
    void Copy1item1Click();
    void Copylist1Click();
    void PopupMenu4Popup();
    void Copymethod1Click();
    void Copyallmethods1Click();

    // --- Find ----------------------------------------------------------------------
    void Search1Click();
    void Findagain1Click();
    // Searches the list of the active page with the last search's text and
    // options, from the top or after the current entry, and tells the user.
    void FindNext(bool fromStart);

    // --- Export --------------------------------------------------------------------
    void Savequeryresultas1Click();

    // --- Connect dialog and namespace chooser (win1_connect.cpp) ------------------------
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

    // --- Instance thread -----------------------------------------------------------
    void InstancesDone(wmi::TWMIInstancesThread* thread, int32_t count, const std::string& error);

    // --- Helpers the handlers of the window share ------------------------------------
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    // Makes a page active without running PageControl2Change, as code does.
    void SelectPage(int index);
    int ActivePage() const;
    // Puts text at the top of a combo box's history; the edit text stays.
    static void AddToHistory(QComboBox* combo, const QString& text);
    Prompts& prompts() { return prompts_; }

    // --- State -------------------------------------------------------------------------
    std::unique_ptr<wmi::TWMI> WMI;
    wmi::TWMIInstancesThread* InstancesThread = nullptr;  // frees itself
    wmi::TextList ResultColumns;
    wmi::TextList ResultCells;
    bool Activated = false;
    bool ClassListLoaded = false;
    CommandLineParams Params;  // CallerWindow and CommandLineQuery
    std::string LastQuery;
    std::string CurrentClass;
    std::string SelectFromQuery;  // what Selectfrom1 runs, set when PopupMenu1 opens
    // A reload of the class list (or the search) emptied what the views showed
    // of CurrentClass: selecting that class again shows it anew instead of
    // being taken for a repeated notification.
    bool CurrentClassCleared = false;
    // The protocol choices of each remote host connected to through the
    // connect dialog, most recent first; read with the settings, written at
    // every such connect.
    settings::RemoteHostList RemoteHosts;
    // The last search, exactly as typed, and its options.
    QString SearchText;
    bool SearchMatchCase = false;
    bool SearchWholeWord = false;
    QString LastExportFile;  // proposed by the next save dialog

    // --- Controls (owned by the window) --------------------------------------------------
    // Shared with the views that draw from it, which Qt may ask for pictures
    // while it takes the window apart.
    std::shared_ptr<const ImageList> ImageList1;
    QWidget* Panel1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabClasses = nullptr;
    QWidget* TabQuery = nullptr;
    ColumnListBox* ClassListBox = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* Panel2 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QTabWidget* PageControl3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    InstanceLineBox* InstanceListBox = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    StringGrid* PropGrid = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QWidget* Panel4 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* QueryCombo = nullptr;
    QPushButton* Query1Btn = nullptr;
    QWidget* Panel5 = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* Query2Combo = nullptr;
    QPushButton* Query2Btn = nullptr;
    QTreeView* ListView1 = nullptr;
    ResultModel* ListView1Model = nullptr;
    std::array<QLabel*, 3> StatusPanels{};
    TFindDialog* FindDialog = nullptr;  // made once, kept with its history
    // Made once; ConnectForm's combo boxes hold the host and namespace histories.
    TConnectForm* ConnectForm = nullptr;
    TNameSpaceForm* NameSpaceForm = nullptr;

    // Main menu
    QMenu* Action1 = nullptr;
    QMenu* Search2 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Connecttoremotehost1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* Savequeryresultas1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Search1 = nullptr;
    QAction* Findagain1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* Homepage1 = nullptr;
    QAction* Support1 = nullptr;
    QAction* About1 = nullptr;

    // Popup menus of the class page; each enables its items as it opens.
    QMenu* PopupMenu1 = nullptr;
    QAction* Refresh2 = nullptr;
    QAction* Selectfrom1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* CopyPropert1 = nullptr;
    QMenu* PopupMenu3 = nullptr;
    QAction* Copy1item1 = nullptr;
    QAction* Copylist1 = nullptr;
    QMenu* PopupMenu4 = nullptr;
    QAction* Copymethod1 = nullptr;
    QAction* Copyallmethods1 = nullptr;

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
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void buildLayout();
    void buildClassesPage();
    void buildQueryPage();
    void buildStatusBar();
    void buildMainMenu();
    void buildPopupMenus();
    void showResult(int32_t columnCount, int32_t rowCount);

    settings::Histories CollectHistories() const;
    settings::WindowPlacement CurrentPlacement() const;
    settings::ScreenInfo CurrentScreen() const;
    void ApplyPlacement(const settings::WindowPlacement& placement);

    // Class browser, instance browser and clipboard commands: their signals,
    // menus and keys, attached once the controls exist.
    void wireClassBrowser();
    void wireInstanceBrowser();
    void wireClipboard();
    void BuildMethodsTree(bool reportFailure);
    // Ends the enumeration of the class on show, so that its lines do not
    // fill the list again, and empties the instance list.
    void StopInstances();

    void CreateConnectDialogs();

    Prompts& prompts_;
    MainWindowOptions options_;
};

}  // namespace ui
