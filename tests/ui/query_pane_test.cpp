// The Query tab: running, timing, history, filling, sorting and the Enter key;
// a query held in the service while the window goes on, stopped or replaced.
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
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <memory>

#include "gate.h"
#include "test_hosts.h"
#include "ui/dialogs/connect_win.h"
#include "ui/main_window/result_model.h"
#include "ui/query_logic.h"
#include "window_fixture.h"
#include "wmi/query_thread.h"

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
    ASSERT_TRUE(waitForQuery(*window));
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
    ASSERT_TRUE(waitForQuery(*window));
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

// A window on a host whose class Held gives out its instances only through a
// gate, so that a query of it stays inside the service until the test opens it.
class HeldQueryTest : public WindowTest {
  protected:
    static constexpr int kHeldCount = 3;
    static constexpr const char* kHeld = "select * from Held";

    void SetUp() override {
        WindowTest::SetUp();
        host_ = std::make_unique<wmitest::ScopedHost>("heldhost", R"MOF(
class Pair { [key] uint32 Id; string Label; };
class Held { [key] uint32 Id; string Label; };
instance of Pair { Id = 1; Label = "one"; };
instance of Pair { Id = 2; Label = "two"; };
)MOF");
        host_->generate("Held", kHeldCount, [gate = gate_](int i, wbem::Instance& inst) {
            gate->pass(i);
            inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
            inst.set("Label", wbem::CimValue::string("held"));
        });
        window = makeWindow({"-host:heldhost"});
        window->show();
        window->FormActivate();
        pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    }
    void TearDown() override {
        window.reset();
        gate_->allow(1 << 30);  // a worker still in the service gets out
        EXPECT_TRUE(wmi::QueryThread::WaitForAllEnded(std::chrono::seconds(30)));
        QApplication::processEvents();
        host_.reset();
        WindowTest::TearDown();
    }

    // Starts the held query with the button and waits until it sits in the gate.
    void startHeld() {
        query2Combo(*window).setEditText(QString::fromLatin1(kHeld));
        QTest::mouseClick(&button(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->arrived > 0; }, 30000));
        ASSERT_TRUE(queryPane(*window).queryRunning());
    }
    // Lets the held query out of the service and waits for its worker's end.
    void release() {
        gate_->allow(kHeldCount);
        ASSERT_TRUE(wmi::QueryThread::WaitForAllEnded(std::chrono::seconds(30)));
        QTest::qWait(20);  // whatever the worker posted runs now
    }
    QPushButton& button() const { return control<QPushButton>(*window, "Query2Btn"); }

    // What a run that does not end must leave as it was.
    struct Shown {
        int rows, columns, width0;
        std::string lastQuery;
        QString firstHistory;
        bool saveEnabled;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const {
        return {listView1Model(*window).Rows(),
                listView1Model(*window).Columns(),
                listView1(*window).header()->sectionSize(0),
                queryPane(*window).lastQuery(),
                query2Combo(*window).itemText(0),
                menuItem(*window, "Savequeryresultas1").isEnabled()};
    }

    std::shared_ptr<wmitest::Gate> gate_ = std::make_shared<wmitest::Gate>();
    std::unique_ptr<wmitest::ScopedHost> host_;
    std::unique_ptr<ui::TMainWin> window;
};

TEST_F(HeldQueryTest, WhileAQueryRunsTheWindowAnswersAndTellsItsTime) {
    startHeld();
    EXPECT_EQ(window->StatusText(2), QStringLiteral("Executing query..."));
    EXPECT_EQ(button().text(), QStringLiteral("Stop"));
    EXPECT_EQ(listView1(*window).cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "only the list waits";
    // The event loop turns: a timer fires, and the status counts the seconds.
    bool fired = false;
    QTimer::singleShot(0, window.get(), [&] { fired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 5000));
    // Another tab keeps the status bar to itself; back on this one it counts on.
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabClasses);
    QTest::qWait(1100);
    EXPECT_FALSE(window->StatusText(2).startsWith(QStringLiteral("Executing query")))
        << window->StatusText(2).toStdString();
    pageControl2(*window).setCurrentIndex(ui::TMainWin::kTabQuery);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QString text = window->StatusText(2);
            return text.startsWith(QStringLiteral("Executing query... ")) &&
                   text.endsWith(QStringLiteral(" s"));
        },
        10000))
        << window->StatusText(2).toStdString();
    EXPECT_TRUE(listView1Model(*window).Rows() == 0 && queryPane(*window).lastQuery().empty());

    QSignalSpy ends(&queryPane(*window), &ui::QueryPane::finished);
    gate_->allow(kHeldCount);
    ASSERT_TRUE(ends.wait(30000));
    EXPECT_EQ(ends.at(0).at(0).toBool(), true);
    EXPECT_EQ(listView1Model(*window).Rows(), kHeldCount);
    EXPECT_EQ(queryPane(*window).lastQuery(), kHeld);
    EXPECT_TRUE(
        window->StatusText(2).startsWith(QStringLiteral("3 rows \u00b7 Query execution time: ")))
        << window->StatusText(2).toStdString();
    EXPECT_EQ(button().text(), QStringLiteral("Execute"));
    EXPECT_EQ(listView1(*window).cursor().shape(), Qt::ArrowCursor);
}

TEST_F(HeldQueryTest, EscOrASecondPressStopsTheQueryAndTheResultOnShowStays) {
    enum class Stop { EscInTheBox, EscInTheList, SecondPress };
    for (Stop how : {Stop::EscInTheBox, Stop::EscInTheList, Stop::SecondPress}) {
        SCOPED_TRACE(int(how));
        gate_->reset();
        runQuery(*window, QStringLiteral("select Id, Label from Pair"));
        listView1(*window).header()->resizeSection(0, 123);  // the user's width
        const Shown before = shown();
        QSignalSpy ends(&queryPane(*window), &ui::QueryPane::finished);
        startHeld();
        switch (how) {
            case Stop::EscInTheBox:
                QTest::keyClick(&query2Combo(*window), Qt::Key_Escape);
                break;
            case Stop::EscInTheList:
                QTest::keyClick(&listView1(*window), Qt::Key_Escape);
                break;
            case Stop::SecondPress:
                QTest::mouseClick(&button(), Qt::LeftButton);
                break;
        }
        // The window stopped waiting while the worker is still in the service.
        EXPECT_FALSE(queryPane(*window).queryRunning());
        EXPECT_EQ(gate_->produced, 0);
        EXPECT_EQ(window->StatusText(2), QStringLiteral("Query stopped"));
        EXPECT_EQ(button().text(), QStringLiteral("Execute"));
        EXPECT_EQ(listView1(*window).cursor().shape(), Qt::ArrowCursor);
        EXPECT_TRUE(shown() == before);
        EXPECT_EQ(query2Combo(*window).currentText(), QString::fromLatin1(kHeld));

        release();
        EXPECT_TRUE(shown() == before) << "the stopped query's result came after all";
        EXPECT_EQ(ends.count(), 0);
        EXPECT_EQ(window->StatusText(2), QStringLiteral("Query stopped"));
        EXPECT_TRUE(prompts.shown.empty());
    }
}

TEST_F(HeldQueryTest, ANewQueryWhileOneRunsReplacesIt) {
    startHeld();
    QSignalSpy ends(&queryPane(*window), &ui::QueryPane::finished);
    query2Combo(*window).setEditText(QStringLiteral("select Label from Pair"));
    QTest::keyClick(&query2Combo(*window), Qt::Key_Return);
    ASSERT_TRUE(waitForQuery(*window));
    release();
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
    EXPECT_EQ(listView1Model(*window).Caption(0), "Label");
    EXPECT_EQ(queryPane(*window).lastQuery(), "select Label from Pair");
    EXPECT_EQ(query2Combo(*window).count(), 1) << "the replaced query is not in the history";
}

TEST_F(HeldQueryTest, ConnectingElsewhereStopsTheQueryOfTheConnectionLeftBehind) {
    runQuery(*window, QStringLiteral("select Id, Label from Pair"));
    const Shown before = shown();
    startHeld();
    window->prepareDialogs();
    auto& form = control<ui::TConnectForm>(*window, "ConnectForm");
    form.Runner = [](QDialog& dialog) {
        control<QComboBox>(dialog, "HostCombo").setEditText(QStringLiteral("localhost"));
        QTest::mouseClick(&control<QPushButton>(dialog, "OkBtn"), Qt::LeftButton);
        return dialog.result();
    };
    window->Connecttoremotehost1Click();
    EXPECT_EQ(window->WMI->Host, "localhost");
    EXPECT_FALSE(queryPane(*window).queryRunning());
    // Its rows, with paths on heldhost, never land under the new connection.
    release();
    EXPECT_TRUE(shown() == before) << listView1Model(*window).Rows();
    EXPECT_TRUE(prompts.errors().empty()) << prompts.errors().front().toStdString();
}

TEST_F(HeldQueryTest, ClosingTheWindowDoesNotWaitForAQueryHeldInTheService) {
    runQuery(*window, QStringLiteral("select Id, Label from Pair"));
    startHeld();
    // Were the close waiting for the worker, it would never come back: the
    // gate opens only after it.
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(queryPane(*window).queryRunning());
    EXPECT_EQ(listView1Model(*window).Rows(), 2);
    window.reset();
    EXPECT_EQ(gate_->produced, 0);
    // The worker ends after the window is gone and reaches nothing of it.
    release();
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace uitest
