// The main window's start-up, class list, refresh, tab changes, layout and end.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "ui/main_window/class_browser.h"
#include "ui/main_window/instance_browser.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "wbem/service/hosts.h"
#include "window_fixture.h"
#include "wmi/instances_thread.h"

namespace uitest {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, WithoutArgumentsTheLocalClassesAreShownSorted) {
    auto window = makeWindow();
    window->show();
    window->FormActivate();
    EXPECT_TRUE(prompts.shown.empty());
    const std::vector<std::string> names = classListBox(*window).Items();
    ASSERT_GT(names.size(), 10u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), ui::ClassNameLess));
    EXPECT_NE(std::find(names.begin(), names.end(), "Win32_Process"), names.end());
    EXPECT_EQ(window->StatusText(0), QStringLiteral("localhost  root\\cimv2"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Classes: %1").arg(names.size()));
    EXPECT_EQ(window->ActivePage(), ui::TMainWin::kTabClasses);
    EXPECT_TRUE(window->ClassListLoaded);
}

TEST_F(StartupTest, ClassNamesSortWithoutRegardToCase) {
    auto window = startWindow();
    std::vector<std::string> mine;
    for (const std::string& name : classListBox(*window).Items())
        if (name.find("__") != 0) mine.push_back(name);
    EXPECT_EQ(mine,
              (std::vector<std::string>{"alpha", "Beta", "gamma", "Pair", "Widget", "Zulu_Last"}));
    EXPECT_EQ(window->StatusText(0), QStringLiteral("uihost  root\\cimv2"));
    EXPECT_EQ(classListBox(*window).currentRow(), -1);
    EXPECT_TRUE(classListBox(*window).selectedItems().isEmpty());
}

TEST_F(StartupTest, ACommandLineQueryRunsOnTheQueryTabAndTheClassesLoadOnFirstView) {
    auto window = startWindow({"-query: select Id, Label from Pair "});
    EXPECT_EQ(window->ActivePage(), ui::TMainWin::kTabQuery);
    EXPECT_EQ(query2Combo(*window).currentText(), QStringLiteral("select Id, Label from Pair"));
    ASSERT_TRUE(waitForQuery(*window));
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
    EXPECT_EQ(window->StatusText(0), QStringLiteral("uihost  root\\cimv2"));
    EXPECT_EQ(window->StatusText(1), QString());
    EXPECT_FALSE(window->ClassListLoaded);
    EXPECT_EQ(classListBox(*window).count(), 0);

    QSignalSpy loads(window.get(), &ui::TMainWin::classListLoaded);
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);  // as the user does
    EXPECT_EQ(loads.count(), 1);
    EXPECT_GT(classListBox(*window).count(), 0);
    EXPECT_TRUE(window->StatusText(1).startsWith(QStringLiteral("Classes: ")));
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    EXPECT_EQ(loads.count(), 1) << "the list loads once";
}

TEST_F(StartupTest, WithoutWmiTheErrorIsShownAndTheCommandLineIgnored) {
    wbem::setLocatorAvailable(false);
    auto window = startWindow({"-wp:77", "-query:select * from Pair"});
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_FALSE(prompts.errors()[0].isEmpty());
    EXPECT_EQ(window->WMI->Host, "localhost");
    EXPECT_EQ(window->Params.CallerWindow, 0);
    EXPECT_EQ(classListBox(*window).count(), 0);
    EXPECT_EQ(listView1Model(*window).Columns(), 0);

    // Back on the Classes tab once WMI works: loads with the default parameters.
    wbem::setLocatorAvailable(true);
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    EXPECT_TRUE(window->ClassListLoaded);
    EXPECT_EQ(window->StatusText(0), QStringLiteral("localhost  root\\cimv2"));
    EXPECT_EQ(prompts.errors().size(), 1u);
}

TEST_F(StartupTest, AFailedClassListShowsTheErrorAndAnEmptyCount) {
    auto window = makeWindow({"-host:nosuchhost", "-namespace:root\\nowhere"});
    window->show();
    window->FormActivate();
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_TRUE(prompts.errors()[0].startsWith(QStringLiteral("Error: ")))
        << prompts.errors()[0].toStdString();
    EXPECT_FALSE(prompts.shown[0].waitCursor) << "the cursor is restored before the box";
    EXPECT_EQ(classListBox(*window).count(), 0);
    EXPECT_EQ(window->StatusText(0), QStringLiteral("nosuchhost  root\\nowhere"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Classes: 0"));
}

TEST_F(StartupTest, LaterActivationsChangeNothing) {
    auto window = startWindow();
    QSignalSpy loads(window.get(), &ui::TMainWin::classListLoaded);
    window->FormActivate();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    QApplication::processEvents();
    EXPECT_EQ(loads.count(), 0);
}

TEST_F(StartupTest, RefreshReloadsTheClassesOrRunsTheQueryOfTheActiveTab) {
    auto window = startWindow();
    QSignalSpy loads(window.get(), &ui::TMainWin::classListLoaded);
    QSignalSpy queries(window.get(), &ui::TMainWin::queryFinished);
    instanceListBox(*window).append("left over");
    menuItem(*window, "Refresh1").trigger();
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(instanceListBox(*window).count(), 0) << "a reload empties the instance list";

    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    runQuery(*window, QStringLiteral("select Id from Pair"));
    query2Combo(*window).setEditText(
        QStringLiteral("select Id, Label from Pair"));  // edited, not run
    menuItem(*window, "Refresh1").trigger();
    ASSERT_TRUE(waitForQuery(*window));
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(queries.count(), 2);
    EXPECT_EQ(queryPane(*window).lastQuery(), "select Id, Label from Pair");
    EXPECT_EQ(listView1Model(*window).Columns(), 2);
}

TEST_F(StartupTest, TabChangesClearTheStatusAndSetTheSaveItem) {
    auto window = startWindow();
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    EXPECT_FALSE(menuItem(*window, "Savequeryresultas1").isEnabled()) << "no query has run";
    runQuery(*window, QStringLiteral("select * from Pair"));
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());
    EXPECT_FALSE(window->StatusText(2).isEmpty());
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    EXPECT_FALSE(menuItem(*window, "Savequeryresultas1").isEnabled());
    EXPECT_EQ(window->StatusText(2), QString());
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());
}

TEST_F(StartupTest, ExitClosesTheWindowThroughTheCloseRequest) {
    auto window = startWindow();
    ASSERT_TRUE(window->isVisible());
    menuItem(*window, "Exit1").trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(settingsFile()))) << "settings written";
}

TEST_F(StartupTest, ResizingKeepsTheValueColumnFillingTheGrid) {
    auto window = startWindow();
    ui::StringGrid* grid = &propGrid(*window);
    window->resize(900, 600);
    QApplication::processEvents();
    EXPECT_EQ(grid->ColumnWidth(1),
              std::max(grid->ClientWidth() - grid->ColumnWidth(0) - 5, grid->ColumnWidth(0)));
    // Rows enough for a vertical scroll bar narrow the cells' area: the values follow.
    const int wide = grid->ClientWidth();
    grid->SetRowCount(200);
    for (int i = 0; i < 100 && grid->ClientWidth() == wide; ++i) QTest::qWait(10);
    ASSERT_LT(grid->ClientWidth(), wide);
    EXPECT_EQ(grid->ColumnWidth(1),
              std::max(grid->ClientWidth() - grid->ColumnWidth(0) - 5, grid->ColumnWidth(0)));
    // The user drags the names wider than the values: resizing changes nothing.
    grid->SetColumnWidth(0, grid->ColumnWidth(1) + 40);
    const int names = grid->ColumnWidth(0);
    const int values = grid->ColumnWidth(1);
    window->resize(1000, 650);
    QApplication::processEvents();
    EXPECT_EQ(grid->ColumnWidth(0), names);
    EXPECT_EQ(grid->ColumnWidth(1), values);
}

TEST_F(StartupTest, DestroyingTheWindowEndsTheInstanceThreadWithoutWaiting) {
    ASSERT_TRUE(wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(5)));
    auto window = startWindow();
    EXPECT_EQ(wmi::TWMIInstancesThread::LiveCount(), 1);
    EXPECT_EQ(control<ui::InstanceBrowser>(*window, "TabSheet4").thread().Limit.load(), 30000);
    window.reset();
    EXPECT_TRUE(wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(5)));
}

TEST_F(StartupTest, TheLayoutHasItsControlsInPlace) {
    auto window = startWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cimscope"));
    EXPECT_EQ(pageControl2(*window).tabText(0), QStringLiteral("Classes"));
    EXPECT_EQ(pageControl2(*window).tabText(1), QStringLiteral("Query"));
    EXPECT_EQ(control<QTabWidget>(*window, "PageControl3").tabText(0), QStringLiteral("Instances"));
    EXPECT_EQ(control<QTabWidget>(*window, "PageControl1").tabText(0),
              QStringLiteral("Properties"));
    EXPECT_EQ(control<QTabWidget>(*window, "PageControl1").tabText(1), QStringLiteral("Methods"));
    EXPECT_EQ(control<QTabWidget>(*window, "PageControl1").currentIndex(), 0);
    EXPECT_EQ(control<QPushButton>(*window, "Query1Btn").text(), QStringLiteral("Execute"));
    EXPECT_EQ(control<QPushButton>(*window, "Query2Btn").text(), QStringLiteral("Execute"));
    EXPECT_EQ(control<QLabel>(classBrowser(*window), "Label4").text(), QStringLiteral("Query"));
    EXPECT_EQ(control<QSplitter>(*window, "Splitter1").orientation(), Qt::Vertical);
    EXPECT_EQ(control<QSplitter>(*window, "Splitter1").handleWidth(), 8);
    EXPECT_EQ(control<QSplitter>(*window, "Splitter2").orientation(), Qt::Horizontal);
    EXPECT_EQ(control<QWidget>(*window, "Panel2").height(), 248);
    EXPECT_EQ(control<QTabWidget>(*window, "PageControl3").width(), 252);
    EXPECT_GE(control<QWidget>(*window, "Panel4").height(), 26);
    EXPECT_EQ(control<QLabel>(*window, "StatusPanel0").width(), 180);
    EXPECT_EQ(control<QLabel>(*window, "StatusPanel1").width(), 90);
    EXPECT_GE(control<QLabel>(*window, "StatusPanel2").width(), 200);
    EXPECT_EQ(propGrid(*window).columnCount(), 2);
    EXPECT_EQ(propGrid(*window).ColumnWidth(0), 200);
    EXPECT_EQ(propGrid(*window).selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(classListBox(*window).gridSize().width(),
              classListBox(*window).viewport()->width() / 3);
    EXPECT_EQ(query2Combo(*window).currentText(),
              QStringLiteral("select Caption, HandleCount, ThreadCount from Win32_Process"));
    EXPECT_TRUE(instanceListBox(*window).Sorted());
    EXPECT_EQ(listView1(*window).editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(listView1(*window).selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(StartupTest, TheMainMenuHasItsCaptionsShortcutsAndImages) {
    auto window = makeWindow();
    struct Item {
        QAction* action;
        const char* caption;
        QKeySequence shortcut;
        bool image;
        bool enabled;
    } items[] = {
        {&menuItem(*window, "Connecttoremotehost1"),
         "&Connect to host/namespace...",
         {},
         true,
         true},
        {&menuItem(*window, "Refresh1"), "&Refresh", QKeySequence(Qt::Key_F5), true, true},
        {&menuItem(*window, "Savequeryresultas1"), "Save query result as...", {}, false, false},
        {&menuItem(*window, "Exit1"), "&Exit", QKeySequence(Qt::ALT | Qt::Key_X), true, true},
        {&menuItem(*window, "Search1"), "&Find...", QKeySequence(Qt::CTRL | Qt::Key_F), true, true},
        {&menuItem(*window, "Findagain1"), "Search &again", QKeySequence(Qt::Key_F3), true, true},
        {&menuItem(*window, "Help2"), "Help", QKeySequence(Qt::Key_F1), true, true},
        {&menuItem(*window, "Homepage1"), "Home page", {}, true, true},
        {&menuItem(*window, "Support1"), "Support", {}, true, true},
        {&menuItem(*window, "About1"), "About", {}, false, true},
    };
    for (const Item& item : items) {
        EXPECT_EQ(item.action->text(), QString::fromUtf8(item.caption));
        EXPECT_EQ(item.action->shortcut(), item.shortcut) << item.caption;
        EXPECT_EQ(!item.action->icon().isNull(), item.image) << item.caption;
        EXPECT_EQ(item.action->isEnabled(), item.enabled) << item.caption;
    }
    EXPECT_EQ(control<QMenu>(*window, "Action1").title(), QStringLiteral("Action"));
    EXPECT_EQ(control<QMenu>(*window, "Search2").title(), QStringLiteral("&Search"));
    EXPECT_EQ(control<QMenu>(*window, "Help1").title(), QStringLiteral("Help"));
    EXPECT_EQ(menuItem(*window, "Homepage1").data().toString().left(8), QStringLiteral("https://"));
}

TEST_F(StartupTest, PopupMenusArePresentAndDisabledUntilTheirCommandsExist) {
    auto window = makeWindow();
    const std::vector<std::pair<QMenu*, QStringList>> menus = {
        {&control<QMenu>(*window, "PopupMenu1"),
         {"Refresh...", "", "Select * from ...", "", "Show MOF text..."}},
        {&control<QMenu>(*window, "PopupMenu2"), {"Copy"}},
        {&control<QMenu>(*window, "PopupMenu3"),
         {"Copy item", "Copy list", "", "Associated objects...", "References...", "",
          "Show MOF text..."}},
        {&control<QMenu>(*window, "PopupMenu4"),
         {"Execute method...", "", "Copy method", "Copy all methods"}},
    };
    for (const auto& [menu, captions] : menus) {
        QStringList seen;
        for (QAction* action : menu->actions()) {
            seen << action->text();
            EXPECT_FALSE(action->isEnabled() && !action->isSeparator())
                << action->text().toStdString();
        }
        EXPECT_EQ(seen, captions) << menu->objectName().toStdString();
    }
    EXPECT_EQ(classListBox(*window).contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(propGrid(*window).contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(instanceListBox(*window).contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(control<QTreeWidget>(classBrowser(*window), "TreeView1").contextMenuPolicy(),
              Qt::CustomContextMenu);
}

TEST_F(StartupTest, TheInstanceListShowsItsBytesDecodedAndKeepsThem) {
    auto window = makeWindow();
    ui::InstanceLineBox& list = instanceListBox(*window);
    list.SetSorted(false);
    const std::string bytes = wmi::WideToCodePage("b \u0160", wmi::LocalCodePage());
    list.append(bytes);
    list.append("a");
    list.setLine(1, "c");
    EXPECT_EQ(list.line(0), bytes);
    EXPECT_EQ(list.item(0)->text(), QString::fromUtf16(u"b \u0160"));
    EXPECT_EQ(list.line(1), "c");
    list.deleteLast();
    EXPECT_EQ(list.count(), 1);
    list.deleteLast();
    list.deleteLast();  // nothing left: ignored
    EXPECT_EQ(list.count(), 0);
}

TEST_F(StartupTest, AStatusTextWiderThanItsPanelKeepsBothEndsAndTellsTheRest) {
    auto window = startWindow();
    const QLabel& panel = control<QLabel>(*window, "StatusPanel0");
    const QString longText =
        QStringLiteral("nosuchhost.invalid.example.org  root\\cimv2\\Applications\\End");
    const QString shortText = QStringLiteral("uihost  root\\cimv2");
    for (const QString& text : {longText, shortText}) {
        SCOPED_TRACE(text.toStdString());
        window->SetStatusText(0, text);
        EXPECT_EQ(window->StatusText(0), text) << "the text as set";
        EXPECT_EQ(panel.toolTip(), text);
        EXPECT_LE(panel.fontMetrics().horizontalAdvance(panel.text()),
                  panel.contentsRect().width());
    }
    window->SetStatusText(0, longText);
    const QString shown = panel.text();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("nosuch"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("End"))) << shown.toStdString();
    window->SetStatusText(0, shortText);
    EXPECT_EQ(panel.text(), shortText);
}

}  // namespace
}  // namespace uitest
