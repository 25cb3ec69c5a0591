// Find and Search again in the class list and in the query result.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "find_fixture.h"
#include "ui/dialogs/find_win.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"

namespace uitest {
namespace {

using Kind = FakePrompts::Kind;

struct ClassCase {
    const char* text;
    bool wholeWord;
    bool matchCase;
    const char* found;  // "" = not found
};

TEST_F(FindTest, FindSelectsTheFirstMatchingClassUnderBothOptions) {
    const ClassCase cases[] = {
        {"Process", true, false, "Win32_Process"},
        {"Process", false, false, "Win32_Process"},
        {"ProcessS", false, false, "Win32_ProcessStartup"},
        {"processstartup", true, false, "Win32_ProcessStartup"},
        {"WIN32_process", false, false, "Win32_Process"},
        {"WIN32_process", false, true, ""},
        {"Win32_Process", true, true, "Win32_Process"},
        {"Thing", true, true, "Other_Thing"},
        {"Thin", true, false, ""},
        {"Wïn32", false, false, ""},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.text);
        classListBox(*window).clearSelection();
        find({QString::fromUtf8(c.text), c.wholeWord, c.matchCase});
        const auto shown = takeShown();
        if (*c.found) {
            EXPECT_EQ(currentClass(), QString::fromUtf8(c.found));
            EXPECT_TRUE(shown.empty());
        } else {
            EXPECT_EQ(currentClass(), QString());
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].kind, Kind::Warning);
            EXPECT_EQ(shown[0].text, QStringLiteral("Could not find \"") +
                                         QString::fromUtf8(c.text) + QLatin1Char('"'));
        }
        EXPECT_EQ(window->SearchText, QString::fromUtf8(c.text));
        EXPECT_EQ(window->SearchWholeWord, c.wholeWord);
        EXPECT_EQ(window->SearchMatchCase, c.matchCase);
    }
}

TEST_F(FindTest, FindStartsAtTheTopAndCanSelectTheFirstClass) {
    const QString first = classListBox(*window).item(0)->text();
    classListBox(*window).setCurrentRow(3);
    find({first, true, true});
    EXPECT_EQ(classListBox(*window).currentRow(), 0);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FindTest, AnEmptyTextIsNeverFound) {
    find({QString()});
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Could not find \"\""));
}

TEST_F(FindTest, AFoundClassEmptiesGridAndInstancesWithoutSelectingIt) {
    showClass(QStringLiteral("Other_Thing"));
    // As the class browser leaves them after showing a class.
    propGrid(*window).SetRowCount(4);
    for (int row = 0; row < 4; ++row) {
        propGrid(*window).SetCell(0, row, QStringLiteral("name%1").arg(row));
        propGrid(*window).SetCell(1, row, QStringLiteral("value%1").arg(row));
    }
    instanceListBox(*window).append("instance");
    QSignalSpy rowChanged(&classListBox(*window), &QListWidget::currentRowChanged);
    QSignalSpy selectionChanged(&classListBox(*window), &QListWidget::itemSelectionChanged);

    find({QStringLiteral("Win32_Process"), true, true});

    EXPECT_EQ(currentClass(), QStringLiteral("Win32_Process"));
    EXPECT_EQ(propGrid(*window).RowCount(), 2);
    EXPECT_EQ(propGrid(*window).Cell(0, 0), QStringLiteral("name0")) << "the header stays";
    EXPECT_EQ(propGrid(*window).Cell(1, 0), QStringLiteral("value0"));
    EXPECT_EQ(propGrid(*window).Cell(0, 1), QString());
    EXPECT_EQ(propGrid(*window).Cell(1, 1), QString());
    EXPECT_EQ(instanceListBox(*window).count(), 0);
    EXPECT_EQ(rowChanged.count(), 0);
    EXPECT_EQ(selectionChanged.count(), 0);
    EXPECT_EQ(classBrowser(*window).currentClass(), "Other_Thing") << "not the user's selection";
    EXPECT_EQ(window->focusWidget(), &classListBox(*window));
}

TEST_F(FindTest, TheFoundClassIsShownWhenTheUserPicksItEvenIfItWasShownBefore) {
    showClass(QStringLiteral("Win32_Process"));
    find({QStringLiteral("Win32_Process"), true, true});
    ASSERT_EQ(propGrid(*window).Cell(0, 1), QString());

    window->ClassListBoxClick();  // a click on the entry the search selected

    EXPECT_EQ(propGrid(*window).Cell(0, 1), QStringLiteral("Id"));
}

TEST_F(FindTest, SearchAgainContinuesAndOffersToStartOver) {
    find({QStringLiteral("Process")});
    ASSERT_EQ(currentClass(), QStringLiteral("Win32_Process"));
    window->Findagain1Click();
    ASSERT_EQ(currentClass(), QStringLiteral("Win32_ProcessStartup"));
    EXPECT_TRUE(prompts.shown.empty());

    prompts.answers = {false};
    window->Findagain1Click();
    auto shown = takeShown();
    ASSERT_EQ(shown.size(), 1u) << "No: nothing more is said";
    EXPECT_EQ(shown[0].kind, Kind::Question);
    EXPECT_EQ(shown[0].text, QStringLiteral("Could not find \"Process\"\r\rStart search over?"));
    EXPECT_EQ(currentClass(), QStringLiteral("Win32_ProcessStartup")) << "No leaves it";

    prompts.answers = {true};
    window->Findagain1Click();
    EXPECT_EQ(takeShown().size(), 1u);
    EXPECT_EQ(currentClass(), QStringLiteral("Win32_Process")) << "Yes searches from the top";
}

TEST_F(FindTest, StartingOverMayFindTheCurrentEntryOrNothing) {
    find({QStringLiteral("Thing")});
    ASSERT_EQ(currentClass(), QStringLiteral("Other_Thing"));
    prompts.answers = {true};
    window->Findagain1Click();
    EXPECT_EQ(takeShown().size(), 1u);
    EXPECT_EQ(currentClass(), QStringLiteral("Other_Thing")) << "the only match, again";

    // The class goes away (a refresh of another namespace, say): the search
    // from the top finds nothing either.
    delete classListBox(*window).takeItem(classListBox(*window).currentRow());
    classListBox(*window).setCurrentRow(0);
    prompts.answers = {true};
    window->Findagain1Click();
    const auto shown = takeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, Kind::Question);
    EXPECT_EQ(shown[1].kind, Kind::Warning);
    EXPECT_EQ(shown[1].text, QStringLiteral("Could not find \"Thing\""));
    EXPECT_EQ(classListBox(*window).currentRow(), 0) << "nothing changes";
}

TEST_F(FindTest, SearchAgainWithoutATextOpensFindAndCancelKeepsTheSearch) {
    answerFind({QStringLiteral("Process")});
    window->Findagain1Click();
    EXPECT_EQ(currentClass(), QStringLiteral("Win32_Process"));

    answerFind({QStringLiteral("Other"), true, true, /*ok=*/false});
    window->Search1Click();
    EXPECT_EQ(window->SearchText, QStringLiteral("Process"));
    EXPECT_FALSE(window->SearchWholeWord);
    EXPECT_EQ(currentClass(), QStringLiteral("Win32_Process"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FindTest, TheDialogShowsTheLastSearch) {
    find({QStringLiteral("Thing"), true, true});
    ui::TFindDialog* dialog = &findDialog(*window);
    QString shownText;
    bool whole = false, matchCase = false;
    const QComboBox* text = &control<QComboBox>(*dialog, "FindText");
    const QCheckBox* wholeWordChk = &control<QCheckBox>(*dialog, "MatchWholeWordChk");
    const QCheckBox* matchCaseChk = &control<QCheckBox>(*dialog, "MatchCaseChk");
    QTimer::singleShot(0, dialog, [&] {
        shownText = text->currentText();
        whole = wholeWordChk->isChecked();
        matchCase = matchCaseChk->isChecked();
        dialog->reject();
    });
    window->Search1Click();
    EXPECT_EQ(shownText, QStringLiteral("Thing"));
    EXPECT_TRUE(whole);
    EXPECT_TRUE(matchCase);
    EXPECT_EQ(&findDialog(*window), dialog) << "one dialog for the window's life";
}

TEST_F(FindTest, TheMenuCommandsAreEnabledAndCarryTheirKeys) {
    EXPECT_TRUE(menuItem(*window, "Search1").isEnabled());
    EXPECT_TRUE(menuItem(*window, "Findagain1").isEnabled());
    EXPECT_EQ(menuItem(*window, "Search1").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(menuItem(*window, "Findagain1").shortcut(), QKeySequence(Qt::Key_F3));
    answerFind({QStringLiteral("Win32_ProcessStartup")});
    menuItem(*window, "Search1").trigger();
    EXPECT_EQ(currentClass(), QStringLiteral("Win32_ProcessStartup"));
}

// --- The query result ----------------------------------------------------------------

class FindRowTest : public FindTest {
  protected:
    void SetUp() override {
        FindTest::SetUp();
        pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
        runQuery(*window, QStringLiteral("select Id, Name, Note from Row"));
        ASSERT_EQ(listView1Model(*window).Rows(), kRows);
    }
    int currentRow() const {
        const QModelIndex index = listView1(*window).currentIndex();
        return index.isValid() ? index.row() : -1;
    }
    QString currentId() const {
        return QString::fromStdString(std::string(listView1Model(*window).Cell(currentRow(), 0)));
    }
    bool currentRowVisibleAndOnlySelected() const {
        QTreeView& view = listView1(*window);
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        const QRect rect = view.visualRect(view.currentIndex());
        return rows.size() == 1 && rows[0].row() == currentRow() &&
               view.viewport()->rect().contains(rect.topLeft()) &&
               view.viewport()->rect().contains(rect.bottomLeft());
    }
};

TEST_F(FindRowTest, ATextInACellFindsTheRowAndBringsItIntoView) {
    listView1(*window).setCurrentIndex(listView1Model(*window).index(2, 0));
    find({QStringLiteral("needle"), true});
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(currentId(), QString::number(kNeedleRow));
    EXPECT_TRUE(currentRowVisibleAndOnlySelected());
    EXPECT_GT(listView1(*window).verticalScrollBar()->value(), 0) << "scrolled down to it";
    EXPECT_EQ(window->focusWidget(), &listView1(*window));
}

TEST_F(FindRowTest, WholeWordAndCaseApplyCellByCell) {
    const ClassCase cases[] = {
        {"row7", true, false, "7"},   // not row70: whole word
        {"ROW7", false, false, "7"},  // without case, the caption is found too
        {"ROW7", false, true, ""},
        {"row5", false, false, "5"},
        {"needle here", true, true, "45"},
        {"45 row45", false, false, ""},  // a match never spans two cells
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.text);
        find({QString::fromUtf8(c.text), c.wholeWord, c.matchCase});
        const auto shown = takeShown();
        if (*c.found) {
            EXPECT_TRUE(shown.empty());
            EXPECT_EQ(currentId(), QString::fromUtf8(c.found));
        } else {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].kind, Kind::Warning);
        }
    }
}

TEST_F(FindRowTest, SearchAgainWrapsOnlyWhenTheUserSaysYes) {
    find({QStringLiteral("row1"), true});  // row1 only: row10..19 are other words
    ASSERT_EQ(currentId(), QStringLiteral("1"));
    listView1(*window).scrollToBottom();
    prompts.answers = {false};
    window->Findagain1Click();
    EXPECT_EQ(takeShown().size(), 1u);
    EXPECT_EQ(currentId(), QStringLiteral("1"));
    prompts.answers = {true};
    window->Findagain1Click();
    EXPECT_EQ(takeShown().size(), 1u);
    EXPECT_EQ(currentId(), QStringLiteral("1"));
    EXPECT_TRUE(currentRowVisibleAndOnlySelected()) << "scrolled back up to it";

    find({QStringLiteral("plain")});
    window->Findagain1Click();
    EXPECT_EQ(currentId(), QStringLiteral("2"));
    EXPECT_TRUE(takeShown().empty());
}

TEST_F(FindRowTest, TheDisplayedOrderIsSearchedAfterASort) {
    window->ListView1ColumnClick(0);  // Id descending
    ASSERT_FALSE(listView1Model(*window).SortAscending());
    find({QStringLiteral("plain")});
    EXPECT_EQ(currentId(), QString::number(kRows));
    EXPECT_EQ(currentRow(), 0);
    window->Findagain1Click();
    EXPECT_EQ(currentId(), QString::number(kRows - 1));
}

TEST_F(FindRowTest, SearchAgainFromTheLastRowStartsAtTheTopUnasked) {
    const int last = kRows - 1;
    listView1(*window).setCurrentIndex(listView1Model(*window).index(last, 0));
    find({QStringLiteral("row1"), true});
    listView1(*window).setCurrentIndex(listView1Model(*window).index(last, 0));
    window->Findagain1Click();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(currentId(), QStringLiteral("1"));
    EXPECT_TRUE(currentRowVisibleAndOnlySelected());
}

TEST_F(FindRowTest, TheClassesPageSearchesTheClassList) {
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    find({QStringLiteral("Row"), true, true});
    EXPECT_EQ(currentClass(), QStringLiteral("Row"));
    EXPECT_EQ(currentRow(), -1) << "the result is not searched";
}

}  // namespace
}  // namespace uitest
