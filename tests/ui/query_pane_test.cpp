// The Query tab: running, timing, history, filling, sorting and the Enter key.
#include "ui/main_window/query_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "ui/main_window/result_model.h"
#include "ui/query_logic.h"
#include "window_fixture.h"

namespace uitest {
namespace {

class QueryTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = startWindow();
        pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    }
    void TearDown() override {
        window.reset();
        WindowTest::TearDown();
    }
    QStringList history() const {
        QStringList items;
        for (int i = 0; i < query2Combo(*window).count(); ++i)
            items << query2Combo(*window).itemText(i);
        return items;
    }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (int r = 0; r < listView1Model(*window).Rows(); ++r)
            out.emplace_back(listView1Model(*window).Cell(r, c));
        return out;
    }
    QHeaderView* header() const { return listView1(*window).header(); }
    void clickHeader(int section) {
        QTest::mouseClick(
            header()->viewport(), Qt::LeftButton, {},
            QPoint(header()->sectionViewportPosition(section) + 4, header()->height() / 2));
    }

    std::unique_ptr<ui::TMainWin> window;
};

TEST_F(QueryTest, ASuccessfulRunShowsTheResultTimeAndHistory) {
    const int clientWidth = listView1(*window).contentsRect().width();
    runQuery(*window, QStringLiteral("select Id, Name, Score from Widget"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(window->StatusText(2),
              QStringLiteral("4 rows \u00b7 Query execution time: 0.2500 sec"));
    EXPECT_EQ(queryPane(*window).lastQuery(), "select Id, Name, Score from Widget");
    EXPECT_EQ(query2Combo(*window).itemText(0),
              QStringLiteral("select Id, Name, Score from Widget"));
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());

    const ui::ResultModel& model = listView1Model(*window);
    ASSERT_EQ(model.Columns(), 3);
    EXPECT_EQ(model.Caption(0), "Id");
    EXPECT_EQ(model.Caption(2), "Score");
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(model.SortColumn(), 0);
    EXPECT_TRUE(model.SortAscending());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(header()->sectionSize(i), ui::resultColumnWidth(clientWidth, 3));
}

TEST_F(QueryTest, HeaderClicksSortByAnyColumnBothWays) {
    runQuery(*window, QStringLiteral("select Id, Name, Score from Widget"));
    clickHeader(2);  // Score, ascending: -1 is a number like the others
    EXPECT_EQ(column(2), (std::vector<std::string>{"-5", "-1", "9", "10"}));
    clickHeader(2);
    EXPECT_EQ(column(2), (std::vector<std::string>{"10", "9", "-1", "-5"}));
    clickHeader(1);  // Name keeps the descending direction; bytes, case-sensitive
    EXPECT_EQ(column(1), (std::vector<std::string>{"pear", "fig", "apple", "Apple"}));
    EXPECT_FALSE(listView1Model(*window).SortAscending());
    EXPECT_EQ(listView1Model(*window).SortColumn(), 1);
}

TEST_F(QueryTest, SameColumnCountKeepsWidthsAndSortAnotherRebuilds) {
    runQuery(*window, QStringLiteral("select Id, Name, Score from Widget"));
    clickHeader(1);
    clickHeader(1);                   // Name descending
    header()->resizeSection(0, 133);  // the user's width
    runQuery(*window, QStringLiteral("select Id, Name, Note from Widget"));
    const ui::ResultModel& model = listView1Model(*window);
    EXPECT_EQ(model.Caption(2), "Note");
    EXPECT_EQ(header()->sectionSize(0), 133);
    EXPECT_EQ(model.SortColumn(), 1);
    EXPECT_FALSE(model.SortAscending());
    EXPECT_EQ(column(1), (std::vector<std::string>{"pear", "fig", "apple", "Apple"}));

    const int clientWidth = listView1(*window).contentsRect().width();
    runQuery(*window, QStringLiteral("select Id, Label from Pair"));
    EXPECT_EQ(model.Columns(), 2);
    EXPECT_EQ(model.SortColumn(), 0);
    EXPECT_TRUE(model.SortAscending());
    EXPECT_EQ(header()->sectionSize(0), ui::resultColumnWidth(clientWidth, 2));
}

TEST_F(QueryTest, AResultWithoutRowsKeepsTheColumns) {
    runQuery(*window, QStringLiteral("select Id, Label from Pair"));
    header()->resizeSection(1, 77);
    runQuery(*window, QStringLiteral("select * from Pair where Id = 99"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(listView1Model(*window).Rows(), 0);
    EXPECT_EQ(listView1Model(*window).Columns(), 2);
    EXPECT_EQ(header()->sectionSize(1), 77);
    EXPECT_TRUE(
        window->StatusText(2).startsWith(QStringLiteral("0 rows \u00b7 Query execution time: ")));
    EXPECT_EQ(queryPane(*window).lastQuery(), "select * from Pair where Id = 99");
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());
}

TEST_F(QueryTest, AFailedRunReportsAndChangesNothingElse) {
    runQuery(*window, QStringLiteral("select Id, Label from Pair"));
    const QStringList before = history();
    runQuery(*window, QStringLiteral("select * from NoSuchClass"));
    ASSERT_EQ(prompts.errors().size(), 1u);
    const QString message = prompts.errors()[0];
    EXPECT_TRUE(message.startsWith(QStringLiteral("Error: "))) << message.toStdString();
    EXPECT_FALSE(prompts.shown[0].waitCursor) << "the cursor is restored before the box";
    EXPECT_EQ(window->StatusText(2), message);
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
    EXPECT_EQ(queryPane(*window).lastQuery(), "select Id, Label from Pair");
    EXPECT_EQ(history(), before);
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());
}

TEST_F(QueryTest, AQueryWithinTheClockResolutionShowsItsRowsWithoutATime) {
    auto still = makeWindow({"-host:uihost"}, 0);  // a clock that does not move
    still->show();
    still->FormActivate();
    still->SetStatusText(2, QStringLiteral("before"));
    runQuery(*still, QStringLiteral("select * from Pair"));
    // The time before belonged to another query: the rows replace it.
    EXPECT_EQ(still->StatusText(2), QStringLiteral("2 rows"));
    EXPECT_EQ(listView1Model(*still).Rows(), 2);
}

TEST_F(QueryTest, HistoryKeepsOneTrimmedEntryPerExactText) {
    runQuery(*window, QStringLiteral("select * from Pair"));
    runQuery(*window, QStringLiteral("select Id from Pair"));
    runQuery(*window, QStringLiteral("select * from Pair"));
    runQuery(*window, QStringLiteral("SELECT * FROM Pair"));
    runQuery(*window, QStringLiteral("  select Id from Pair  "));
    EXPECT_EQ(history(),
              (QStringList{"select Id from Pair", "SELECT * FROM Pair", "select * from Pair"}));
    EXPECT_EQ(query2Combo(*window).currentText(), QStringLiteral("  select Id from Pair  "));
    EXPECT_EQ(queryPane(*window).lastQuery(), "  select Id from Pair  ");
}

TEST_F(QueryTest, EnterRunsTheQueryUnlessTheTextIsBlank) {
    QSignalSpy runs(window.get(), &ui::TMainWin::queryFinished);
    // The keys come to the combo box, the focus proxy of its edit field,
    // which hands them on to the field.
    QComboBox* box = &query2Combo(*window);
    box->setEditText(QStringLiteral(" \t "));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(runs.count(), 0);
    EXPECT_FALSE(queryPane(*window).Query2ComboKeyPress('\r'));
    query2Combo(*window).setEditText(QStringLiteral("select * from Pair"));
    EXPECT_FALSE(queryPane(*window).Query2ComboKeyPress('a'));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(runs.count(), 1);
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
    EXPECT_EQ(query2Combo(*window).currentText(), QStringLiteral("select * from Pair"))
        << "the key went no further";
}

TEST_F(QueryTest, AnEmptyQueryGoesToWmiWhichRefusesIt) {
    runQuery(*window, QString());
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_TRUE(queryPane(*window).lastQuery().empty());
    EXPECT_FALSE(menuItem(*window, "Savequeryresultas1").isEnabled());
}

TEST_F(QueryTest, ExecuteOnTheClassesTabRunsItsBoxOnTheQueryTab) {
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    QSignalSpy changes(&pageControl2(*window), &QTabWidget::currentChanged);
    queryCombo(*window).setEditText(QStringLiteral("select Label from Pair "));
    QTest::mouseClick(&control<QPushButton>(*window, "Query1Btn"), Qt::LeftButton);
    EXPECT_EQ(window->ActivePage(), ui::TMainWin::kTabQuery);
    EXPECT_EQ(changes.count(), 0) << "selected from code";
    EXPECT_EQ(query2Combo(*window).currentText(), QStringLiteral("select Label from Pair "));
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
}

TEST_F(QueryTest, APastedLongQueryArrivesWholeInBothQueryBoxes) {
    // Far beyond a line edit's default limit of 32,767 characters.
    const QString query = QStringLiteral("select * from Pair where Label = '") +
                          QString(143 * 1024, QLatin1Char('x')) + QStringLiteral("'");
    const struct {
        int tab;
        QComboBox* box;
    } cases[] = {{ui::TMainWin::kTabQuery, &query2Combo(*window)},
                 {ui::TMainWin::kTabClasses, &queryCombo(*window)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box->objectName().toStdString());
        pageControl2(*window).setCurrentIndex(c.tab);
        c.box->clearEditText();
        c.box->setFocus();
        QApplication::clipboard()->setText(query);
        QTest::keyClick(c.box->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(c.box->currentText().size(), query.size());
        EXPECT_TRUE(c.box->currentText() == query);
    }
}

TEST_F(QueryTest, AResultWithoutRowsSaysSoBesideItsTime) {
    runQuery(*window, QStringLiteral("select * from Pair where Id = 99"));
    EXPECT_EQ(window->StatusText(2),
              QStringLiteral("0 rows \u00b7 Query execution time: 0.2500 sec"));

    auto still = makeWindow({"-host:uihost"}, 0);  // no time to show
    still->show();
    still->FormActivate();
    still->SetStatusText(2, QStringLiteral("before"));
    runQuery(*still, QStringLiteral("select * from Pair where Id = 99"));
    EXPECT_EQ(still->StatusText(2), QStringLiteral("0 rows"));
}

}  // namespace
}  // namespace uitest
