// "Execute method..." in the methods tree: the dialog opens on the selected
// line's own instance, a method of instances without one (or on a line
// without a path) is refused, and the run's failure comes back as an error box.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "browser_fixture.h"
#include "ui/dialogs/method_dialog.h"
#include "wmi/object_access.h"

namespace uitest {

namespace {

ui::MethodDialog* openDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<ui::MethodDialog*>(w); d && d->isVisible()) return d;
    return nullptr;
}

void selectMethod(QTreeWidget& tree, const QString& name) {
    const auto found = tree.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    tree.setCurrentItem(found.front());
}

}  // namespace

TEST_F(BrowserTest, ExecuteMethodOpensTheDialogOnTheSelectedInstance) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    selectMethod(treeView1(), "Move");
    menu("PopupMenu4").aboutToShow();
    EXPECT_TRUE(action("ExecuteMethod1").isEnabled());

    // Move is no static method: without an instance it has nothing to run on.
    action("ExecuteMethod1").trigger();
    EXPECT_EQ(openDialog(), nullptr);
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors()[0],
              "Move runs on an instance of Gadget: select one in the instance list first.");

    clickLine(1);
    // A double-click on the method, on the Methods page, as on the action.
    control<QTabWidget>(classes(), "PageControl1").setCurrentIndex(1);
    const QTreeWidgetItem* move = treeView1().findItems("Move", Qt::MatchExactly).front();
    const QRect where = treeView1().visualItemRect(move);
    QTest::mouseClick(treeView1().viewport(), Qt::LeftButton, {}, where.center());
    QTest::mouseDClick(treeView1().viewport(), Qt::LeftButton, {}, where.center());
    ui::MethodDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr) << prompts.errors().back().toStdString();
    const QString target = control<QLabel>(*dialog, "TargetLabel").text();
    EXPECT_TRUE(target.startsWith("On: ") && target.endsWith(":Gadget.Id=2"))
        << target.toStdString();
    QTest::keyClicks(&control<QLineEdit>(*dialog, "ParamX"), "3");
    QTest::keyClicks(&control<QLineEdit>(*dialog, "ParamY"), "-4");
    prompts.answers = {true};
    QTest::mouseClick(&control<QPushButton>(*dialog, "ExecuteBtn"), Qt::LeftButton);
    // The test host carries out no methods: the failure is told, nothing crashes.
    ASSERT_EQ(prompts.errors().size(), 2u);
    EXPECT_TRUE(prompts.errors()[1].startsWith("Error: Method not implemented"))
        << prompts.errors()[1].toStdString();
    dialog->close();
}

TEST_F(BrowserTest, ExecuteMethodRunsOnTheLinesOwnInstanceOrTellsThatItHasNoPath) {
    clickClass("Shifting");
    ASSERT_TRUE(waitDone(1));
    clickLine(1);
    shift_->store(1);  // the instances move up one place under the list
    selectMethod(treeView1(), "Reset");
    emit menu("PopupMenu4").aboutToShow();
    action("ExecuteMethod1").trigger();
    ui::MethodDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr) << prompts.errors().size();
    const QString target = control<QLabel>(*dialog, "TargetLabel").text();
    EXPECT_TRUE(target.endsWith(":Shifting.Id=1")) << target.toStdString();
    dialog->close();
    EXPECT_TRUE(prompts.shown.empty());

    // The instances of Failing have no key value, so no path.
    clickClass("Failing");
    ASSERT_TRUE(waitDone(2));
    clickLine(0);
    prompts.shown.clear();
    selectMethod(treeView1(), "Reset");
    emit menu("PopupMenu4").aboutToShow();
    action("ExecuteMethod1").trigger();
    EXPECT_EQ(openDialog(), nullptr);
    EXPECT_EQ(prompts.errors(),
              (std::vector<QString>{QStringLiteral("Error: ") + wmi::NoPathText}));

    // The run's error line is no instance: the user is asked to choose one,
    // not told that an instance has no path.
    clickLine(2);
    prompts.shown.clear();
    emit menu("PopupMenu4").aboutToShow();
    action("ExecuteMethod1").trigger();
    EXPECT_EQ(openDialog(), nullptr);
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_TRUE(prompts.errors().front().endsWith("select one in the instance list first."))
        << prompts.errors().front().toStdString();
}

}  // namespace uitest
