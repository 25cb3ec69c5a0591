// The class browser on a small test host, driven as a user drives it: the
// class list and its menu, the class's properties and methods, their copy
// commands, and the menus and copy keys of the Classes tab's views.
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QTest>
#include <functional>

#include "browser_fixture.h"
#include "ui/main_window/method_tree.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/image_list.h"

namespace uitest {
namespace {

TEST_F(BrowserTest, AClassShowsItsPropertiesMethodsQueryAndInstances) {
    clickClass("Gadget");
    EXPECT_EQ(classes().currentClass(), "Gadget");
    EXPECT_EQ(window->StatusText(2), "Requesting instances...");
    EXPECT_FALSE(instanceListBox().Sorted());
    EXPECT_EQ(queryCombo().currentText(), "select * from Gadget");

    EXPECT_EQ(gridColumn(0), (QStringList{"Property", "Id", "Name", "Note", ""}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", "", "", "", ""}));

    using Node = std::pair<QString, int>;
    EXPECT_EQ(topNodes(),
              (std::vector<Node>{{"Reset", ui::kImageMethod}, {"Move", ui::kImageMethod}}));
    const QTreeWidgetItem* move = treeView1().topLevelItem(1);
    std::vector<Node> parameters;
    for (int i = 0; i < move->childCount(); ++i)
        parameters.emplace_back(move->child(i)->text(0), ui::NodeImageIndex(*move->child(i)));
    EXPECT_EQ(parameters, (std::vector<Node>{{"X", ui::kImageInParameter},
                                             {"Y", ui::kImageInParameter},
                                             {"Distance", ui::kImageOutParameter},
                                             {"ReturnValue", ui::kImageOutParameter}}));

    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(BrowserTest, ClassesWithoutPropertiesMethodsOrAnInstanceNamingProperty) {
    struct Case {
        QString name;
        QStringList names;
        int methods;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"Bare", {"Property", ""}, 0, {}},
        {"Tool", {"Property", "Caption", "DeviceID", "Id", ""}, 0, {"hammer"}},
        {"Gadget", {"Property", "Id", "Name", "Note", ""}, 2, {"first", "second", "third"}},
    };
    int runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        clickClass(c.name);
        EXPECT_EQ(gridColumn(0), c.names);
        EXPECT_EQ(propGrid().RowCount(), c.names.size());
        EXPECT_EQ(treeView1().topLevelItemCount(), c.methods);
        ASSERT_TRUE(waitDone(++runs));
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(window->StatusText(2), QStringLiteral("Instances: %1").arg(c.lines.size()));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(BrowserTest, TheCurrentClassAgainChangesNothingAndStartsNoEnumeration) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    propGrid().SetCell(1, 1, QStringLiteral("marker"));
    queryCombo().setEditText(QStringLiteral("edited"));

    classes().ClassListBoxClick();  // a repeated notification
    clickClass("Gadget");           // a click on the selected entry
    QTest::qWait(300);
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
    EXPECT_EQ(propGrid().Cell(1, 1), "marker");
    EXPECT_EQ(queryCombo().currentText(), "edited");
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(BrowserTest, AnotherClassDuringARunReplacesItsLinesAndOnlyTheNewRunEnds) {
    clickClass("Bulk");
    ASSERT_TRUE(QTest::qWaitFor([&] { return instanceListBox().count() > 100; }, 30000));
    ASSERT_EQ(doneCalls, 0) << "the run ended before the test could interrupt it";
    clickClass("Gadget");
    EXPECT_EQ(instanceListBox().count(), 0);
    ASSERT_TRUE(waitDone(1));
    QTest::qWait(200);  // nothing of the abandoned run comes late
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
}

TEST_F(BrowserTest, NoClassSelectedEmptiesTheViewsAndEndsTheRun) {
    clickClass("Bulk");
    ASSERT_TRUE(QTest::qWaitFor([&] { return instanceListBox().count() > 100; }, 30000));
    clickClass("Bulk", Qt::ControlModifier);  // takes the selection away
    EXPECT_TRUE(classListBox().selectedItems().isEmpty());
    EXPECT_EQ(classes().currentClass(), "");
    EXPECT_EQ(treeView1().topLevelItemCount(), 0);
    EXPECT_EQ(instanceListBox().count(), 0);
    QTest::qWait(500);
    EXPECT_EQ(instanceListBox().count(), 0) << "lines of the old run came back";
    EXPECT_EQ(doneCalls, 0);
    // The grid keeps what it showed.
    EXPECT_EQ(gridColumn(0), (QStringList{"Property", "Id", "Name", ""}));
}

TEST_F(BrowserTest, AfterAReloadTheSameClassIsShownAgain) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->LoadClassList();
    EXPECT_EQ(classes().currentClass(), "Gadget");  // a reload keeps it
    EXPECT_EQ(instanceListBox().count(), 0);
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(treeView1().topLevelItemCount(), 2);
}

TEST_F(BrowserTest, FailuresOfTheClassCallsAreReportedOnceAndTheRestStillRuns) {
    struct Case {
        const char* name;
        std::set<int> failing;  // window-thread Gets: 1 = properties, 2 = methods
        QStringList names;
        int methods;
    };
    const Case cases[] = {
        {"properties", {1}, {"Property", ""}, 2},
        {"methods", {2}, {"Property", "Id", "Name", "Note", ""}, 0},
        {"both", {1, 2}, {"Property", ""}, 0},
    };
    int runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clickClass("Tool");
        ASSERT_TRUE(waitDone(++runs));
        prompts.shown.clear();
        failWindowGets(c.failing);
        clickClass("Gadget");
        wmi::SetLocatorFactory({});
        EXPECT_EQ(classes().currentClass(), "Gadget");
        EXPECT_EQ(gridColumn(0), c.names);
        EXPECT_EQ(treeView1().topLevelItemCount(), c.methods);
        ASSERT_EQ(prompts.errors(), (std::vector<QString>{"Injected failure"}));
        EXPECT_FALSE(prompts.shown.front().waitCursor);
        ASSERT_TRUE(waitDone(++runs));  // the enumeration runs all the same
        EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    }
}

TEST_F(BrowserTest, TheClassListMenuFollowsTheSelection) {
    classes().PopupMenu1Popup();
    EXPECT_EQ(action("Selectfrom1").text(), "select * from ...");
    EXPECT_EQ(action("Refresh2").text(), "Refresh");
    EXPECT_FALSE(action("Selectfrom1").isEnabled());
    EXPECT_FALSE(action("Refresh2").isEnabled());

    clickClass("Gadget");
    classes().PopupMenu1Popup();
    EXPECT_EQ(action("Selectfrom1").text(), "select * from Gadget");
    EXPECT_EQ(action("Refresh2").text(), "Refresh instances (Gadget)");
    EXPECT_TRUE(action("Selectfrom1").isEnabled());
    EXPECT_TRUE(action("Refresh2").isEnabled());
    EXPECT_EQ(action("Selectfrom1").text(), queryCombo().currentText());
    ASSERT_TRUE(waitDone(1));

    // The context menu of the list is this menu, prepared as it opens.
    emit classListBox().customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(menu("PopupMenu1").isVisible());
    menu("PopupMenu1").close();

    action("Selectfrom1").trigger();
    EXPECT_EQ(window->ActivePage(), ui::TMainWin::kTabQuery);
    EXPECT_EQ(control<QComboBox>(*window, "Query2Combo").currentText(), "select * from Gadget");
    ASSERT_TRUE(waitForQuery(*window));
    EXPECT_EQ(control<ui::ResultModel>(*window, "ListView1Model").Rows(), 3);
    EXPECT_EQ(control<ui::QueryPane>(*window, "TabQuery").lastQuery(), "select * from Gadget");
}

TEST_F(BrowserTest, RefreshListsTheInstancesOfTheCurrentClassAgain) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    classes().PopupMenu1Popup();
    action("Refresh2").trigger();
    EXPECT_EQ(window->StatusText(2), "Requesting instances...");
    EXPECT_EQ(instanceListBox().count(), 0);
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
}

TEST_F(BrowserTest, AnEntryTheSearchSelectedIsShownByAClickOrByRefresh) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"click",
         [&] {
             EXPECT_EQ(classes().currentClass(), "Gadget");
             clickClass("Tool");  // the entry is selected already
         }},
        {"refresh",
         [&] {
             classes().PopupMenu1Popup();
             EXPECT_EQ(action("Refresh2").text(), "Refresh instances (Tool)");
             action("Refresh2").trigger();
         }},
    };
    int runs = 0;
    for (const auto& [how, show] : cases) {
        SCOPED_TRACE(how);
        clickClass("Gadget");
        ASSERT_TRUE(waitDone(++runs));
        {
            // The search selects without it being the user's choice.
            const QSignalBlocker block(&classListBox());
            classListBox().setCurrentItem(
                classListBox().findItems("Tool", Qt::MatchExactly).first());
        }
        show();
        EXPECT_EQ(classes().currentClass(), "Tool");
        EXPECT_EQ(queryCombo().currentText(), "select * from Tool");
        ASSERT_TRUE(waitDone(++runs));
        EXPECT_EQ(lines(), (std::vector<std::string>{"hammer"}));
    }
}

// --- Copy commands and menus ----------------------------------------------------------

TEST_F(BrowserTest, GridCopyTakesTheSelectedRowsThatAreNotBlank) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    struct Case {
        const char* view;
        int instance;  // -1: the class's names
        int first, last;
        QString text;
    };
    const Case cases[] = {
        {"class", -1, 1, 4, "Id: \r\nName: \r\nNote: \r\n"},
        {"class, blank row only", -1, 4, 4, ""},
        {"instance with an empty value", 1, 2, 4, "Name: second\r\nNote:  \r\n"},
        {"value with a line break", 0, 3, 3, "Note: line one\nline two\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        if (c.instance >= 0) clickLine(c.instance);
        selectGridRows(c.first, c.last);
        classes().PopupMenu2Popup();
        ASSERT_TRUE(action("CopyPropert1").isEnabled());
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        action("CopyPropert1").trigger();
        EXPECT_EQ(clipboard(), c.text);
    }
    propGrid().clearSelection();
    classes().PopupMenu2Popup();
    EXPECT_FALSE(action("CopyPropert1").isEnabled());
}

TEST_F(BrowserTest, MethodCopiesTakeTheWholeMethodFromAnyOfItsNodes) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    QTreeWidget& tree = treeView1();
    classes().PopupMenu4Popup();
    EXPECT_FALSE(action("Copymethod1").isEnabled());
    EXPECT_TRUE(action("Copyallmethods1").isEnabled());

    const QString move = "Move\r\n  in X\r\n  in Y\r\n  out Distance\r\n  out ReturnValue\r\n";
    const std::pair<QTreeWidgetItem*, QString> cases[] = {
        {tree.topLevelItem(1), move},
        {tree.topLevelItem(1)->child(3), move},  // a parameter copies its method
        {tree.topLevelItem(0), "Reset\r\n  out ReturnValue\r\n"},
    };
    for (const auto& [node, text] : cases) {
        tree.setCurrentItem(node);
        classes().PopupMenu4Popup();
        ASSERT_TRUE(action("Copymethod1").isEnabled());
        action("Copymethod1").trigger();
        EXPECT_EQ(clipboard(), text);
    }
    action("Copyallmethods1").trigger();
    EXPECT_EQ(clipboard(), "Reset\r\n  out ReturnValue\r\n" + move);

    clickClass("Tool");  // no methods
    classes().PopupMenu4Popup();
    EXPECT_FALSE(action("Copymethod1").isEnabled());
    EXPECT_FALSE(action("Copyallmethods1").isEnabled());
    ASSERT_TRUE(waitDone(2));
}

TEST_F(BrowserTest, CtrlCInEachViewDoesWhatItsFirstCopyItemDoes) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    struct Case {
        QWidget* view;
        std::function<void()> select;
        QString text;
    };
    const Case cases[] = {
        {&propGrid(), [&] { selectGridRows(1, 2); }, "Id: \r\nName: \r\n"},
        {&instanceListBox(), [&] { clickLine(2); }, "third"},
        {&treeView1(), [&] { treeView1().setCurrentItem(treeView1().topLevelItem(0)->child(0)); },
         "Reset\r\n  out ReturnValue\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view->objectName().toStdString());
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        c.view->setFocus();
        QTest::keyClick(c.view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "before");  // nothing selected: the item is disabled
        c.select();
        QTest::keyClick(c.view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), c.text);
    }
}

TEST_F(BrowserTest, EachViewOpensItsOwnMenu) {
    const std::pair<QAbstractScrollArea*, QMenu*> cases[] = {
        {&propGrid(), &menu("PopupMenu2")},
        {&instanceListBox(), &menu("PopupMenu3")},
        {&treeView1(), &menu("PopupMenu4")},
    };
    for (const auto& [view, menu] : cases) {
        emit view->customContextMenuRequested(QPoint(5, 5));
        EXPECT_TRUE(menu->isVisible()) << menu->objectName().toStdString();
        menu->close();
    }
}

}  // namespace
}  // namespace uitest
