// The instance browser on a small test host, driven as a user drives it:
// the lines of a class's instances as they arrive, the values of a line's own
// instance also after the instances changed, and the list's copy commands.
#include "ui/main_window/instance_browser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include "browser_fixture.h"
#include "ui/dialogs/associations_win.h"
#include "ui/dialogs/mof_text_viewer.h"
#include "ui/widgets/one_line_delegate.h"
#include "wmi/object_access.h"

namespace uitest {
namespace {

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;

TEST_F(BrowserTest, AnInstanceLineShowsTheValuesOfItsInstance) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    instanceListBox().append("WMI Error: after the last instance");
    struct Case {
        int row;
        QStringList values;
    };
    const Case cases[] = {
        {0, {"Value", "1", "first", "line one\nline two", ""}},
        {1, {"Value", "2", "second", " ", ""}},  // an empty value is one blank
        {2, {"Value", "3", "third", " ", ""}},   // so is a null one
        {1, {"Value", "2", "second", " ", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        clickLine(c.row);
        EXPECT_EQ(gridColumn(0), (QStringList{"Property", "Id", "Name", "Note", ""}));
        EXPECT_EQ(gridColumn(1), c.values);
    }
    clickLine(3);  // no instance there: headers and one blank row, no message
    EXPECT_EQ(gridColumn(0), (QStringList{"Property", ""}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(queryCombo().currentText(), "select * from Gadget");
}

TEST_F(BrowserTest, NamesAndValuesKeepEveryLetterOfAUtf8Desktop) {
    ASSERT_TRUE(kUtf8Desktop);
    const QString text = QString::fromUtf16(u"za\u017C\u00F3\u0142\u0107 \u03C0 \u65E5\u672C");
    clickClass("Letters");
    ASSERT_TRUE(waitDone(1));
    ASSERT_EQ(instanceListBox().count(), 1);
    EXPECT_EQ(instanceListBox().item(0)->text(), text);
    clickLine(0);
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", text, ""}));
}

TEST_F(BrowserTest, EachLineOpensItsOwnInstanceAfterTheInstancesChanged) {
    clickClass("Shifting");
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(lines(), (std::vector<std::string>{"item 0", "item 1", "item 2"}));
    clickLine(2);
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", "2", "item 2", ""}));
    // Item 0 goes and item 3 comes: every instance moves up one place, so a
    // line read by its position would show its neighbour.
    shift_->store(1);
    clickLine(2);  // the line that is already selected
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", "2", "item 2", ""}));
    clickLine(1);
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", "1", "item 1", ""}));
    EXPECT_TRUE(prompts.shown.empty());

    // The details pane of the grid's Name row.
    ui::StringGrid& grid = propGrid();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.visualRect(grid.model()->index(1, 1)).center());
    const QString details = control<QPlainTextEdit>(classes(), "PropDetails").toPlainText();
    EXPECT_TRUE(details.startsWith("Name\n") && details.endsWith("Value:\nitem 1"))
        << details.toStdString();

    // Show MOF text.
    emit menu("PopupMenu3").aboutToShow();
    action("ShowMof2").trigger();
    auto* viewer = window->findChild<ui::MofTextViewer*>(QStringLiteral("MofTextViewer"));
    ASSERT_NE(viewer, nullptr);
    const QString mof = control<QPlainTextEdit>(*viewer, "MofText").toPlainText();
    EXPECT_TRUE(mof.contains("Name = \"item 1\";")) << mof.toStdString();
    viewer->close();

    // Associated objects and References of the same instance.
    for (const char* command : {"Associated2", "References2"}) {
        SCOPED_TRACE(command);
        emit menu("PopupMenu3").aboutToShow();
        action(command).trigger();
        auto* associations = window->findChild<ui::AssociationsWin*>("AssociationsWin");
        ASSERT_NE(associations, nullptr);
        EXPECT_TRUE(associations->windowTitle().endsWith("Shifting.Id=1"))
            << associations->windowTitle().toStdString();
        delete associations;
    }
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();

    // The instance of line 0 is gone: told, not replaced by another.
    clickLine(0);
    EXPECT_EQ(prompts.errors(), (std::vector<QString>{"Error: Not found"}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
    EXPECT_EQ(instanceListBox().line(0), "item 0");
}

TEST_F(BrowserTest, AFailedRunKeepsItsLinesAndALineWithoutAPathIsTold) {
    clickClass("Failing");
    ASSERT_TRUE(waitDone(1));
    const std::vector<std::string> shown = lines();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1], "ok 1");
    EXPECT_EQ(shown[2].rfind("WMI Error: ", 0), 0u) << shown[2];
    EXPECT_EQ(window->StatusText(2), QString::fromStdString(shown[2]));
    // The instances of Failing have no key value, so no path to be read
    // again by: every command on their lines says so, and reads nothing else.
    const QString noPath = QStringLiteral("Error: ") + wmi::NoPathText;
    clickLine(0);
    EXPECT_EQ(prompts.errors(), (std::vector<QString>{noPath}));
    EXPECT_FALSE(prompts.shown.front().waitCursor);
    EXPECT_EQ(gridColumn(0), (QStringList{"Property", ""}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
    for (const char* command : {"ShowMof2", "Associated2", "References2"}) {
        SCOPED_TRACE(command);
        prompts.shown.clear();
        emit menu("PopupMenu3").aboutToShow();
        action(command).trigger();
        ASSERT_EQ(prompts.errors().size(), 1u);
        EXPECT_TRUE(prompts.errors().front().endsWith(wmi::NoPathText))
            << prompts.errors().front().toStdString();
    }
    EXPECT_EQ(window->findChild<ui::MofTextViewer*>(), nullptr);
    EXPECT_EQ(window->findChild<ui::AssociationsWin*>(), nullptr);
    // The error line is no instance's: an empty grid, and neither the click
    // nor a command on it has anything to tell or to open.
    prompts.shown.clear();
    clickLine(2);
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
    for (const char* command : {"ShowMof2", "Associated2", "References2"}) {
        emit menu("PopupMenu3").aboutToShow();
        action(command).trigger();
    }
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    EXPECT_EQ(window->findChild<ui::MofTextViewer*>(), nullptr);
    EXPECT_EQ(window->findChild<ui::AssociationsWin*>(), nullptr);
}

TEST_F(BrowserTest, AnInstanceThatCannotBeReadIsToldAndShowsNothing) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    failWindowGets({1});  // the first lookup from here on: the line's instance
    clickLine(1);
    EXPECT_EQ(prompts.errors(), (std::vector<QString>{"Error: Injected failure"}));
    EXPECT_EQ(gridColumn(0), (QStringList{"Property", ""}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
}

TEST_F(BrowserTest, AValueWithLineBreaksStaysOnItsRowAndShowsWholeInATooltip) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    clickLine(0);
    ui::StringGrid& grid = propGrid();
    EXPECT_EQ(grid.rowHeight(2), grid.rowHeight(0));  // Note's row is as high as the others
    // The text drawn in the cell: the view hands line feeds on as line
    // separators, which must not reach the painter either.
    struct Drawn : ui::OneLineDelegate {
        QString text(const QModelIndex& index) const {
            QStyleOptionViewItem option;
            initStyleOption(&option, index);
            return option.text;
        }
    };
    ASSERT_NE(dynamic_cast<ui::OneLineDelegate*>(grid.itemDelegate()), nullptr);
    EXPECT_EQ(Drawn().text(grid.model()->index(2, 1)), QStringLiteral("line one\u21B5line two"));
    auto tooltipAt = [&](int row) {
        QToolTip::hideText();
        const QRect cell = grid.visualRect(grid.model()->index(row - 1, 1));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        grid.viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(grid.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipAt(2), QString());  // "first" fits its cell
    const QString note = tooltipAt(3);
    EXPECT_TRUE(note.contains("line one") && note.contains("line two")) << note.toStdString();
    QToolTip::hideText();
}

TEST_F(BrowserTest, ThirtyThousandAndOneLinesArriveWhileTheListIsUsed) {
    clickClass("Bulk");
    // The list is used while the lines arrive: scrolled, a line selected and
    // copied, the list copied.
    ASSERT_TRUE(QTest::qWaitFor([&] { return instanceListBox().count() > 2000; }, 30000));
    ASSERT_EQ(doneCalls, 0) << "the run ended before the list could be used during it";
    ui::InstanceLineBox& list = instanceListBox();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    clickLine(1500);
    EXPECT_EQ(propGrid().Cell(1, 2), "bulk 1500");
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "bulk 1500");
    instances().Copylist1Click();
    EXPECT_TRUE(clipboard().startsWith("bulk 0\r\nbulk 1\r\n"));
    EXPECT_TRUE(clipboard().endsWith("\r\n"));

    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(list.count(), ui::InstanceBrowser::kInstanceLimit + 1);
    EXPECT_EQ(list.line(list.count() - 1), "bulk 30000");
    EXPECT_EQ(window->StatusText(2), "Instances: 30001");
    EXPECT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.row(list.selectedItems().first()), 1500);
}

// --- Copy commands ------------------------------------------------------------------------

TEST_F(BrowserTest, InstanceListCopiesAnItemOrTheWholeList) {
    instances().PopupMenu3Popup();  // an empty list
    EXPECT_FALSE(action("Copy1item1").isEnabled());
    EXPECT_FALSE(action("Copylist1").isEnabled());

    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    instances().PopupMenu3Popup();
    EXPECT_FALSE(action("Copy1item1").isEnabled());
    EXPECT_TRUE(action("Copylist1").isEnabled());
    instances().Copy1item1Click();
    EXPECT_EQ(clipboard(), "untouched");

    clickLine(1);
    instances().PopupMenu3Popup();
    ASSERT_TRUE(action("Copy1item1").isEnabled());
    action("Copy1item1").trigger();
    EXPECT_EQ(clipboard(), "second");

    instanceListBox().append(kPlaceholder);  // as while a run goes on
    action("Copylist1").trigger();
    EXPECT_EQ(clipboard(), "first\r\nsecond\r\nthird\r\nRequesting WMI...\r\n");
}

}  // namespace
}  // namespace uitest
