// The Query tab's result menu, Ctrl+C, a row opened as an object and its
// associations, the query box's completion and where a refused query stopped:
// driven with real mouse and key events on a host with an association.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "ui/dialogs/associations_win.h"
#include "ui/dialogs/object_window.h"
#include "ui/main_window/instance_browser.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "wbem/service/hosts.h"
#include "window_fixture.h"

namespace uitest {
namespace {

const char* const kAssocHostMof = R"MOF(
class Win32_Process { [key] string Handle; string Name; uint32 Threads; };
class Win32_ProcessStartup { uint32 Flags; };
class Win32_Thread { [key] string Handle; string State; };
[Association] class Win32_ProcessThread {
    [key] Win32_Process ref Owner;
    [key] Win32_Thread ref Part;
};

instance of Win32_Process { Handle = "1"; Name = "init"; Threads = 2; };
instance of Win32_Process { Handle = "7"; Name = "sh"; Threads = 1; };
instance of Win32_Process { Handle = "9"; Name = "sh"; Threads = 1; };
instance of Win32_Thread { Handle = "11"; State = "running"; };
instance of Win32_Thread { Handle = "12"; State = "waiting"; };
instance of Win32_Thread { Handle = "91"; State = "running"; };
instance of Win32_ProcessThread { Owner = "Win32_Process.Handle=\"1\""; Part = "Win32_Thread.Handle=\"11\""; };
instance of Win32_ProcessThread { Owner = "Win32_Process.Handle=\"1\""; Part = "Win32_Thread.Handle=\"12\""; };
instance of Win32_ProcessThread { Owner = "Win32_Process.Handle=\"9\""; Part = "Win32_Thread.Handle=\"91\""; };

class CIM_LogicalDisk { [key] string DeviceID; string ProviderName; };
class Win32_LogicalDisk : CIM_LogicalDisk { };
class Win32_MappedLogicalDisk : CIM_LogicalDisk { };
instance of Win32_LogicalDisk { DeviceID = "Z:"; ProviderName = "nas"; };
instance of Win32_MappedLogicalDisk { DeviceID = "Z:"; ProviderName = "nas"; };
)MOF";

// What a window system delivers for a double click: press, release, the
// double click in place of the second press, release.
void doubleClick(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

class ResultMenuTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        wbem::registerTestHost("assochost", kAssocHostMof);
        window = makeWindow({"-host:assochost"});
        window->show();
        window->FormActivate();
        pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
        QApplication::clipboard()->clear();
    }
    void TearDown() override {
        window.reset();
        wbem::unregisterTestHost("assochost");
        WindowTest::TearDown();
    }

    QTreeView& view() const { return listView1(*window); }
    QPoint rowCenter(int row, int column = 0) const {
        return view().visualRect(view().model()->index(row, column)).center();
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}, int column = 0) {
        QTest::mouseClick(view().viewport(), Qt::LeftButton, modifiers, rowCenter(row, column));
    }
    // Right-clicks the cell and picks the menu's item with the mouse.
    void menuCommand(int row, int column, const char* item) {
        QTest::mouseClick(view().viewport(), Qt::RightButton, {}, rowCenter(row, column));
        const QPoint at = rowCenter(row, column);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view().viewport()->mapToGlobal(at));
        QApplication::sendEvent(view().viewport(), &event);
        QMenu& menu = control<QMenu>(*window, "ResultMenu");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        QAction& action = control<QAction>(menu, item);
        ASSERT_TRUE(action.isEnabled()) << item;
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(&action).center());
    }
    QString cell(int row, int column) const {
        return view().model()->index(row, column).data().toString();
    }
    // The object window a command opened: its path, and its lines "name=value".
    // The window is closed, so that the next command's is the only one.
    std::pair<std::string, QStringList> takeObjectWindow() {
        auto& object = control<ui::ObjectWindow>(*window, "ObjectWindow");
        EXPECT_TRUE(object.isVisible());
        auto& grid = control<QTreeWidget>(object, "ObjectGrid");
        QStringList lines;
        for (int i = 0; i < grid.topLevelItemCount(); ++i)
            lines << grid.topLevelItem(i)->text(0) + u'=' + grid.topLevelItem(i)->text(1);
        std::pair<std::string, QStringList> shown{object.path(), lines};
        delete &object;
        return shown;
    }

    std::unique_ptr<ui::TMainWin> window;
};

TEST_F(ResultMenuTest, StatusTellsTheRowsBesideTheTime) {
    runQuery(*window, QStringLiteral("select Name from Win32_Process"));
    EXPECT_EQ(window->StatusText(2),
              QStringLiteral("3 rows \u00b7 Query execution time: 0.2500 sec"));
}

TEST_F(ResultMenuTest, MenuAndCtrlCCopyRowsCellsAndColumns) {
    // Shown by Handle, ascending: 1 init, 7 sh, 9 sh.
    runQuery(*window, QStringLiteral("select Handle, Name from Win32_Process"));
    ASSERT_EQ(view().model()->rowCount(), 3);

    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    QTest::keyClick(view().viewport(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("1\tinit\r\n9\tsh\r\n"));

    const struct {
        int row, column;
        const char* item;
        const char* text;
    } commands[] = {
        {2, 1, "CopyRowsHeader1", "Handle\tName\r\n1\tinit\r\n9\tsh\r\n"},
        {1, 1, "CopyCell1", "sh"},
        {1, 0, "CopyCell1", "7"},
        {1, 0, "CopyColumn1", "1\r\n7\r\n9\r\n"},
        {2, 1, "CopyColumn1", "init\r\nsh\r\nsh\r\n"},
        {0, 0, "CopyRows1", "1\tinit\r\n"},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(std::string(c.item) + " at " + std::to_string(c.row) + "," +
                     std::to_string(c.column));
        menuCommand(c.row, c.column, c.item);
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(c.text));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ResultMenuTest, RowsAlikeOfTwoClassesOpenTheirOwnObjects) {
    // A drive letter both a local and a mapped disk report: every cell alike,
    // the key too, but two objects.
    runQuery(*window, QStringLiteral("select * from CIM_LogicalDisk"));
    ASSERT_EQ(view().model()->rowCount(), 2);
    EXPECT_EQ(cell(0, 0) + cell(0, 1), cell(1, 0) + cell(1, 1));
    std::vector<std::string> opened;
    for (int row = 0; row < 2; ++row) {
        doubleClick(view().viewport(), rowCenter(row));
        ASSERT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
        opened.push_back(takeObjectWindow().first);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(QString::fromStdString(opened[0]).endsWith("Win32_LogicalDisk.DeviceID=\"Z:\""))
        << opened[0];
    EXPECT_TRUE(
        QString::fromStdString(opened[1]).endsWith("Win32_MappedLogicalDisk.DeviceID=\"Z:\""))
        << opened[1];
}

TEST_F(ResultMenuTest, ARowOpensItsObjectAfterItLeftTheQuerysSet) {
    runQuery(*window, QStringLiteral("select Handle, Name from Win32_Process where Threads = 1"));
    ASSERT_EQ(view().model()->rowCount(), 2);
    ASSERT_EQ(cell(1, 0), QStringLiteral("9"));
    // Process 9 starts a thread: the query would no longer return it.
    std::string changed = kAssocHostMof;
    const std::string before = "Handle = \"9\"; Name = \"sh\"; Threads = 1;";
    changed.replace(changed.find(before), before.size(),
                    "Handle = \"9\"; Name = \"sh\"; Threads = 2;");
    wbem::registerTestHost("assochost", changed);

    menuCommand(1, 1, "ShowObject1");
    ASSERT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    const auto [path, lines] = takeObjectWindow();
    EXPECT_TRUE(QString::fromStdString(path).endsWith("Win32_Process.Handle=\"9\"")) << path;
    EXPECT_EQ(lines, (QStringList{"Handle=9", "Name=sh", "Threads=2"}));
}

TEST_F(ResultMenuTest, DoubleClickFindsTheObjectOfARowWithoutAPathByItsCells) {
    // Neither column is a key, so the rows have no paths, and two rows are
    // alike: the second "sh" shown is the second the service returns.
    runQuery(*window, QStringLiteral("select Name, Threads from Win32_Process"));
    int second = -1;
    for (int r = 0, alike = 0; r < 3; ++r)
        if (cell(r, 0) == QStringLiteral("sh") && ++alike == 2) second = r;
    ASSERT_GE(second, 0);
    doubleClick(view().viewport(), rowCenter(second));
    ASSERT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    auto& object = control<ui::ObjectWindow>(*window, "ObjectWindow");
    EXPECT_TRUE(object.isVisible());
    EXPECT_TRUE(QString::fromStdString(object.path()).endsWith("Win32_Process.Handle=\"9\""))
        << object.path();
    auto& grid = control<QTreeWidget>(object, "ObjectGrid");
    QStringList lines;
    for (int i = 0; i < grid.topLevelItemCount(); ++i)
        lines << grid.topLevelItem(i)->text(0) + u'=' + grid.topLevelItem(i)->text(1);
    EXPECT_EQ(lines, (QStringList{"Handle=9", "Name=sh", "Threads=1"}));

    // From the object on to its associations, and on to an associated object.
    QTest::mouseClick(&control<QPushButton>(object, "AssociatorsBtn"), Qt::LeftButton);
    auto& associations = control<ui::AssociationsWin>(object, "AssociationsWin");
    auto& tree = control<QTreeWidget>(associations, "AssociationTree");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("Win32_ProcessThread (role Owner)"));
    ASSERT_EQ(tree.topLevelItem(0)->childCount(), 1);
    QTreeWidgetItem* thread = tree.topLevelItem(0)->child(0);
    EXPECT_EQ(thread->text(0), QStringLiteral("Win32_Thread.Handle=\"91\""));
    EXPECT_EQ(thread->text(1), QStringLiteral("Part"));
    const QRect at = tree.visualItemRect(thread);
    doubleClick(tree.viewport(), at.center());
    auto& threadWindow = control<ui::ObjectWindow>(associations, "ObjectWindow");
    EXPECT_TRUE(QString::fromStdString(threadWindow.path()).endsWith("Win32_Thread.Handle=\"91\""));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ResultMenuTest, ReferencesFromTheMenuGroupByClassAndRole) {
    runQuery(*window, QStringLiteral("select Name from Win32_Process where Handle = '1'"));
    menuCommand(0, 0, "References1");
    ASSERT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    auto& win = control<ui::AssociationsWin>(*window, "AssociationsWin");
    auto& tree = control<QTreeWidget>(win, "AssociationTree");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("Win32_ProcessThread (role Owner)"));
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 2);
}

TEST_F(ResultMenuTest, TheInstanceListFollowsTheChosenInstancesAssociations) {
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    int done = 0;
    QObject::connect(&control<ui::InstanceBrowser>(*window, "TabSheet4"),
                     &ui::InstanceBrowser::listingDone, window.get(), [&] { ++done; });
    ui::ColumnListBox& classes = classListBox(*window);
    const auto found = classes.findItems(QStringLiteral("Win32_Process"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    QTest::mouseClick(classes.viewport(), Qt::LeftButton, {},
                      classes.visualItemRect(found.first()).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return done > 0; }, 30000));
    ui::InstanceLineBox& list = instanceListBox(*window);
    ASSERT_EQ(list.count(), 3);
    const QPoint first = list.visualItemRect(list.item(0)).center();  // Handle "1"
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first);

    QContextMenuEvent event(QContextMenuEvent::Mouse, first, list.viewport()->mapToGlobal(first));
    QApplication::sendEvent(list.viewport(), &event);
    QMenu& menu = control<QMenu>(*window, "PopupMenu3");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QAction& associated = control<QAction>(menu, "Associated2");
    ASSERT_TRUE(associated.isEnabled());
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(&associated).center());

    ASSERT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    auto& tree = control<QTreeWidget>(control<ui::AssociationsWin>(*window, "AssociationsWin"),
                                      "AssociationTree");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QStringList threads;
    for (int i = 0; i < tree.topLevelItem(0)->childCount(); ++i)
        threads << tree.topLevelItem(0)->child(i)->text(0);
    EXPECT_EQ(threads, (QStringList{"Win32_Thread.Handle=\"11\"", "Win32_Thread.Handle=\"12\""}));
}

TEST_F(ResultMenuTest, CompletionPopsUpWhileTyping) {
    const struct {
        int tab;
        QComboBox* box;
    } boxes[] = {{ui::TMainWin::kTabQuery, &query2Combo(*window)},
                 {ui::TMainWin::kTabClasses, &queryCombo(*window)}};
    for (const auto& [tab, box] : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        pageControl2(*window).setCurrentIndex(tab);
        box->clearEditText();
        box->setFocus();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("SELECT * FROM Win32_Pro"));
        auto& completer = control<QCompleter>(*box->lineEdit(), "QueryCompletion");
        ASSERT_TRUE(completer.popup()->isVisible());
        QStringList offered;
        for (int i = 0; i < completer.completionModel()->rowCount(); ++i)
            offered << completer.completionModel()->index(i, 0).data().toString();
        EXPECT_EQ(offered,
                  (QStringList{"Win32_Process", "Win32_ProcessStartup", "Win32_ProcessThread"}));

        // Down and Enter choose the first; Enter on the list runs nothing.
        QTest::keyClick(completer.popup(), Qt::Key_Down);
        QTest::keyClick(completer.popup(), Qt::Key_Return);
        EXPECT_FALSE(completer.popup()->isVisible());
        EXPECT_EQ(box->currentText(), QStringLiteral("SELECT * FROM Win32_Process"));
        EXPECT_FALSE(queryPane(*window).queryRunning());
        EXPECT_TRUE(queryPane(*window).lastQuery().empty());

        // Property names of the class after FROM.
        QTest::keyClicks(box->lineEdit(), QStringLiteral(" WHERE Th"));
        ASSERT_TRUE(completer.popup()->isVisible());
        EXPECT_EQ(completer.completionModel()->index(0, 0).data().toString(),
                  QStringLiteral("Threads"));
        QTest::keyClick(completer.popup(), Qt::Key_Escape);
    }
}

TEST_F(ResultMenuTest, ARefusedQueryTellsWhereAndPutsTheCursorThere) {
    runQuery(*window, QStringLiteral("select Name frm Win32_Process"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("Error: Invalid query\n")))
        << prompts.shown[0].text.toStdString();
    EXPECT_TRUE(prompts.shown[0].text.endsWith(QStringLiteral(", at column 13")))
        << prompts.shown[0].text.toStdString();
    EXPECT_EQ(window->StatusText(2), QStringLiteral("Error: Invalid query"));
    EXPECT_EQ(query2Combo(*window).lineEdit()->cursorPosition(), 12);
}

}  // namespace
}  // namespace uitest
