// The class browser, the instance browser and the copy commands of the main
// window, on a small test host, driven as a user drives them.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QHelpEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QToolTip>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <set>

#include "test_hosts.h"
#include "ui/main_window/method_tree.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/one_line_delegate.h"
#include "ui/widgets/string_grid.h"
#include "window_fixture.h"
#include "wmi/bw_wmi.h"

namespace uitest {
namespace {

constexpr const char* kHost = "browsehost";
constexpr const char* kPlaceholder = "Requesting WMI...";

const char* const kBrowseMof = R"MOF(
class Gadget
{
    [key] uint32 Id;
    string Name;
    string Note;
    uint32 Reset();
    uint32 Move([In] sint32 X, [In] sint32 Y, [Out] sint32 Distance);
};

class Bare { };

class Tool
{
    [key] uint32 Id;
    string Caption;
    string DeviceID;
};

class Bulk { [key] uint32 Id; string Name; };
class Shifting { [key] uint32 Id; string Name; };
class Failing { [key] uint32 Id; string Name; };

instance of Gadget { Id = 1; Name = "first"; Note = "line one\nline two"; };
instance of Gadget { Id = 2; Name = "second"; Note = ""; };
instance of Gadget { Id = 3; Name = "third"; };
instance of Tool { Id = 1; Caption = "hammer"; DeviceID = "T1"; };
)MOF";

// More instances than the window lists (its limit is 30000, so it shows 30001).
constexpr int kBulkCount = 30050;

// Fails the class lookups (Get) that the window thread makes, by their number
// counted from 1, so that one step of a class selection can fail alone; the
// instance thread's connections pass untouched.
struct GetFaults {
    std::mutex mu;
    std::set<int> failing;
    int windowGets = 0;
};

class FaultyServices : public wbem::ISWbemServices {
  public:
    FaultyServices(std::shared_ptr<wbem::ISWbemServices> real, std::shared_ptr<GetFaults> faults,
                   QThread* window)
        : real_(std::move(real)), faults_(std::move(faults)), window_(window) {}
    std::shared_ptr<wbem::ISWbemObjectSet> SubclassesOf(std::string_view s, int32_t f) override {
        return real_->SubclassesOf(s, f);
    }
    std::shared_ptr<wbem::ISWbemObject> Get(std::string_view path, int32_t f) override {
        if (QThread::currentThread() == window_) {
            std::lock_guard lk(faults_->mu);
            if (faults_->failing.count(++faults_->windowGets))
                throw wbem::WbemError(wbem::hr::Failed, "Injected failure");
        }
        return real_->Get(path, f);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> InstancesOf(std::string_view c, int32_t f) override {
        return real_->InstancesOf(c, f);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> ExecQuery(std::string_view q, std::string_view l,
                                                     int32_t f) override {
        return real_->ExecQuery(q, l, f);
    }

  private:
    std::shared_ptr<wbem::ISWbemServices> real_;
    std::shared_ptr<GetFaults> faults_;
    QThread* window_;
};

class FaultyLocator : public wbem::ISWbemLocator {
  public:
    FaultyLocator(std::shared_ptr<GetFaults> faults, QThread* window)
        : real_(wbem::CreateLocator()), faults_(std::move(faults)), window_(window) {}
    wbem::ISWbemSecurity& Security_() override { return real_->Security_(); }
    std::shared_ptr<wbem::ISWbemServices> ConnectServer(
        std::string_view server, std::string_view nspace, std::string_view user,
        std::string_view password, std::string_view locale, std::string_view authority,
        int32_t flags, const wbem::IDispatchLike* ctx) override {
        return std::make_shared<FaultyServices>(
            real_->ConnectServer(server, nspace, user, password, locale, authority, flags, ctx),
            faults_, window_);
    }

  private:
    std::shared_ptr<wbem::ISWbemLocator> real_;
    std::shared_ptr<GetFaults> faults_;
    QThread* window_;
};

class BrowserTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        host_ = std::make_unique<wmitest::ScopedHost>(kHost, kBrowseMof);
        host_->generate("Bulk", kBulkCount, [](int i, wbem::Instance& inst) {
            inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
            inst.set("Name", wbem::CimValue::string("bulk " + std::to_string(i)));
        });
        host_->generate("Shifting", 3, [shift = shift_](int i, wbem::Instance& inst) {
            const int id = i + shift->load();
            inst.set("Id", wbem::CimValue::uint(uint64_t(id)));
            inst.set("Name", wbem::CimValue::string("item " + std::to_string(id)));
        });
        host_->generate("Failing", 10, [](int i, wbem::Instance& inst) {
            if (i == 2) wbem::fail(wbem::hr::ProviderFailure);
            inst.set("Name", wbem::CimValue::string("ok " + std::to_string(i)));
        });
        window = makeWindow({std::string("-host:") + kHost});
        window->show();
        window->FormActivate();
        // Count the ends of runs the window is told about.
        auto shown = window->InstancesThread->OnDone;
        window->InstancesThread->OnDone = [this, shown](wmi::TWMIInstancesThread* t, int32_t n,
                                                        const std::string& error) {
            ++doneCalls;
            shown(t, n, error);
        };
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    }
    void TearDown() override {
        wmi::SetLocatorFactory({});
        window.reset();
        host_.reset();
        WindowTest::TearDown();
    }

    // A click on the class's entry, as the user makes it.
    void clickClass(const QString& name, Qt::KeyboardModifiers modifiers = {}) {
        const auto found = window->ClassListBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        window->ClassListBox->scrollToItem(found.first());
        QTest::mouseClick(window->ClassListBox->viewport(), Qt::LeftButton, modifiers,
                          window->ClassListBox->visualItemRect(found.first()).center());
    }
    void clickLine(int row) {
        ui::InstanceLineBox& list = *window->InstanceListBox;
        list.scrollToItem(list.item(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
    }
    // Waits until the window was told of `calls` ends of runs in all.
    bool waitDone(int calls) {
        return QTest::qWaitFor([&] { return doneCalls >= calls; }, 30000);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (int i = 0; i < window->InstanceListBox->count(); ++i)
            out.push_back(window->InstanceListBox->line(i));
        return out;
    }
    // Column c of the grid, rows 0 to the last.
    QStringList gridColumn(int c) const {
        QStringList out;
        for (int r = 0; r < window->PropGrid->RowCount(); ++r) out << window->PropGrid->Cell(c, r);
        return out;
    }
    std::vector<std::pair<QString, int>> topNodes() const {
        std::vector<std::pair<QString, int>> out;
        for (int i = 0; i < window->TreeView1->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* node = window->TreeView1->topLevelItem(i);
            out.emplace_back(node->text(0), ui::NodeImageIndex(*node));
        }
        return out;
    }
    static QString clipboard() { return QGuiApplication::clipboard()->text(); }
    // A click on the first row and a Shift+click on the last, grid rows
    // counted with the header as 0.
    void selectGridRows(int first, int last) {
        ui::StringGrid& grid = *window->PropGrid;
        auto rowCenter = [&](int row) {
            return grid.visualRect(grid.model()->index(row - 1, 0)).center();
        };
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rowCenter(first));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCenter(last));
    }
    void failWindowGets(std::set<int> calls) {
        auto faults = std::make_shared<GetFaults>();
        faults->failing = std::move(calls);
        QThread* windowThread = QThread::currentThread();
        wmi::SetLocatorFactory([faults, windowThread] {
            return std::make_shared<FaultyLocator>(faults, windowThread);
        });
    }

    std::unique_ptr<ui::TMainWin> window;
    int doneCalls = 0;
    std::shared_ptr<std::atomic<int>> shift_ = std::make_shared<std::atomic<int>>(0);

  private:
    std::unique_ptr<wmitest::ScopedHost> host_;
};

// --- Class browser ------------------------------------------------------------------------

TEST_F(BrowserTest, AClassShowsItsPropertiesMethodsQueryAndInstances) {
    clickClass("Gadget");
    EXPECT_EQ(window->CurrentClass, "Gadget");
    EXPECT_EQ(window->StatusText(2), "Requesting instances...");
    EXPECT_FALSE(window->InstanceListBox->Sorted());
    EXPECT_EQ(window->QueryCombo->currentText(), "select * from Gadget");

    EXPECT_EQ(gridColumn(0), (QStringList{"Property", "Id", "Name", "Note", ""}));
    EXPECT_EQ(gridColumn(1), (QStringList{"Value", "", "", "", ""}));

    using Node = std::pair<QString, int>;
    EXPECT_EQ(topNodes(),
              (std::vector<Node>{{"Reset", ui::kImageMethod}, {"Move", ui::kImageMethod}}));
    const QTreeWidgetItem* move = window->TreeView1->topLevelItem(1);
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
        EXPECT_EQ(window->PropGrid->RowCount(), c.names.size());
        EXPECT_EQ(window->TreeView1->topLevelItemCount(), c.methods);
        ASSERT_TRUE(waitDone(++runs));
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(window->StatusText(2), QStringLiteral("Instances: %1").arg(c.lines.size()));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(BrowserTest, TheCurrentClassAgainChangesNothingAndStartsNoEnumeration) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->PropGrid->SetCell(1, 1, QStringLiteral("marker"));
    window->QueryCombo->setEditText(QStringLiteral("edited"));

    window->ClassListBoxClick();  // a repeated notification
    clickClass("Gadget");         // a click on the selected entry
    QTest::qWait(300);
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
    EXPECT_EQ(window->PropGrid->Cell(1, 1), "marker");
    EXPECT_EQ(window->QueryCombo->currentText(), "edited");
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(BrowserTest, AnotherClassDuringARunReplacesItsLinesAndOnlyTheNewRunEnds) {
    clickClass("Bulk");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->InstanceListBox->count() > 100; }, 30000));
    ASSERT_EQ(doneCalls, 0) << "the run ended before the test could interrupt it";
    clickClass("Gadget");
    EXPECT_EQ(window->InstanceListBox->count(), 0);
    ASSERT_TRUE(waitDone(1));
    QTest::qWait(200);  // nothing of the abandoned run comes late
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
}

TEST_F(BrowserTest, NoClassSelectedEmptiesTheViewsAndEndsTheRun) {
    clickClass("Bulk");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->InstanceListBox->count() > 100; }, 30000));
    clickClass("Bulk", Qt::ControlModifier);  // takes the selection away
    EXPECT_TRUE(window->ClassListBox->selectedItems().isEmpty());
    EXPECT_EQ(window->CurrentClass, "");
    EXPECT_EQ(window->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(window->InstanceListBox->count(), 0);
    QTest::qWait(500);
    EXPECT_EQ(window->InstanceListBox->count(), 0) << "lines of the old run came back";
    EXPECT_EQ(doneCalls, 0);
    // The grid keeps what it showed.
    EXPECT_EQ(gridColumn(0), (QStringList{"Property", "Id", "Name", ""}));
}

TEST_F(BrowserTest, AfterAReloadTheSameClassIsShownAgain) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->LoadClassList();
    EXPECT_EQ(window->CurrentClass, "Gadget");  // a reload keeps it
    EXPECT_EQ(window->InstanceListBox->count(), 0);
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->TreeView1->topLevelItemCount(), 2);
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
        EXPECT_EQ(window->CurrentClass, "Gadget");
        EXPECT_EQ(gridColumn(0), c.names);
        EXPECT_EQ(window->TreeView1->topLevelItemCount(), c.methods);
        ASSERT_EQ(prompts.errors(), (std::vector<QString>{"Injected failure"}));
        EXPECT_FALSE(prompts.shown.front().waitCursor);
        ASSERT_TRUE(waitDone(++runs));  // the enumeration runs all the same
        EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    }
}

TEST_F(BrowserTest, TheClassListMenuFollowsTheSelection) {
    window->PopupMenu1Popup();
    EXPECT_EQ(window->Selectfrom1->text(), "select * from ...");
    EXPECT_EQ(window->Refresh2->text(), "Refresh");
    EXPECT_FALSE(window->Selectfrom1->isEnabled());
    EXPECT_FALSE(window->Refresh2->isEnabled());

    clickClass("Gadget");
    window->PopupMenu1Popup();
    EXPECT_EQ(window->Selectfrom1->text(), "select * from Gadget");
    EXPECT_EQ(window->Refresh2->text(), "Refresh instances (Gadget)");
    EXPECT_TRUE(window->Selectfrom1->isEnabled());
    EXPECT_TRUE(window->Refresh2->isEnabled());
    EXPECT_EQ(window->Selectfrom1->text(), window->QueryCombo->currentText());
    ASSERT_TRUE(waitDone(1));

    // The context menu of the list is this menu, prepared as it opens.
    emit window->ClassListBox->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(window->PopupMenu1->isVisible());
    window->PopupMenu1->close();

    window->Selectfrom1->trigger();
    EXPECT_EQ(window->ActivePage(), ui::TMainWin::kTabQuery);
    EXPECT_EQ(window->Query2Combo->currentText(), "select * from Gadget");
    EXPECT_EQ(window->ListView1Model->Rows(), 3);
    EXPECT_EQ(window->LastQuery, "select * from Gadget");
}

TEST_F(BrowserTest, RefreshListsTheInstancesOfTheCurrentClassAgain) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->PopupMenu1Popup();
    window->Refresh2->trigger();
    EXPECT_EQ(window->StatusText(2), "Requesting instances...");
    EXPECT_EQ(window->InstanceListBox->count(), 0);
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(window->StatusText(2), "Instances: 3");
}

TEST_F(BrowserTest, AnEntryTheSearchSelectedIsShownByAClickOrByRefresh) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"click",
         [&] {
             EXPECT_EQ(window->CurrentClass, "Gadget");
             clickClass("Tool");  // the entry is selected already
         }},
        {"refresh",
         [&] {
             window->PopupMenu1Popup();
             EXPECT_EQ(window->Refresh2->text(), "Refresh instances (Tool)");
             window->Refresh2->trigger();
         }},
    };
    int runs = 0;
    for (const auto& [how, show] : cases) {
        SCOPED_TRACE(how);
        clickClass("Gadget");
        ASSERT_TRUE(waitDone(++runs));
        {
            // The search selects without it being the user's choice.
            const QSignalBlocker block(window->ClassListBox);
            window->ClassListBox->setCurrentItem(
                window->ClassListBox->findItems("Tool", Qt::MatchExactly).first());
        }
        show();
        EXPECT_EQ(window->CurrentClass, "Tool");
        EXPECT_EQ(window->QueryCombo->currentText(), "select * from Tool");
        ASSERT_TRUE(waitDone(++runs));
        EXPECT_EQ(lines(), (std::vector<std::string>{"hammer"}));
    }
}

// --- Instance browser ---------------------------------------------------------------------

TEST_F(BrowserTest, AnInstanceLineShowsTheValuesOfTheInstanceAtItsPosition) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->InstanceListBox->append("WMI Error: after the last instance");
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
    EXPECT_EQ(window->QueryCombo->currentText(), "select * from Gadget");
}

TEST_F(BrowserTest, AClickFetchesTheInstanceNowAtThatPositionAlsoOnTheSelectedLine) {
    clickClass("Shifting");
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(lines(), (std::vector<std::string>{"item 0", "item 1", "item 2"}));
    clickLine(1);
    EXPECT_EQ(window->PropGrid->Cell(1, 2), "item 1");
    shift_->store(10);  // the instances change under the list
    clickLine(1);       // the line that is already selected
    EXPECT_EQ(window->PropGrid->Cell(1, 2), "item 11");
    EXPECT_EQ(window->InstanceListBox->line(1), "item 1");
}

TEST_F(BrowserTest, AFailedRunKeepsItsLinesAndItsFetchesReportTheFailure) {
    clickClass("Failing");
    ASSERT_TRUE(waitDone(1));
    const std::vector<std::string> shown = lines();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1], "ok 1");
    EXPECT_EQ(shown[2].rfind("WMI Error: ", 0), 0u) << shown[2];
    EXPECT_EQ(window->StatusText(2), QString::fromStdString(shown[2]));
    // The fetch walks the class again and breaks down as the run did, for an
    // instance line and for the error line alike.
    for (int row : {0, 2}) {
        SCOPED_TRACE(row);
        prompts.shown.clear();
        clickLine(row);
        EXPECT_EQ(prompts.errors(), (std::vector<QString>{"Error: Provider failure"}));
        EXPECT_FALSE(prompts.shown.front().waitCursor);
        EXPECT_EQ(gridColumn(0), (QStringList{"Property", ""}));
        EXPECT_EQ(gridColumn(1), (QStringList{"Value", ""}));
    }
}

TEST_F(BrowserTest, AValueWithLineBreaksStaysOnItsRowAndShowsWholeInATooltip) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    clickLine(0);
    ui::StringGrid& grid = *window->PropGrid;
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->InstanceListBox->count() > 2000; }, 30000));
    ASSERT_EQ(doneCalls, 0) << "the run ended before the list could be used during it";
    ui::InstanceLineBox& list = *window->InstanceListBox;
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    clickLine(1500);
    EXPECT_EQ(window->PropGrid->Cell(1, 2), "bulk 1500");
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "bulk 1500");
    window->Copylist1Click();
    EXPECT_TRUE(clipboard().startsWith("bulk 0\r\nbulk 1\r\n"));
    EXPECT_TRUE(clipboard().endsWith("\r\n"));

    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(list.count(), ui::TMainWin::kInstanceLimit + 1);
    EXPECT_EQ(list.line(list.count() - 1), "bulk 30000");
    EXPECT_EQ(window->StatusText(2), "Instances: 30001");
    EXPECT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.row(list.selectedItems().first()), 1500);
}

// --- Copy commands ------------------------------------------------------------------------

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
        window->PopupMenu2Popup();
        ASSERT_TRUE(window->CopyPropert1->isEnabled());
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        window->CopyPropert1->trigger();
        EXPECT_EQ(clipboard(), c.text);
    }
    window->PropGrid->clearSelection();
    window->PopupMenu2Popup();
    EXPECT_FALSE(window->CopyPropert1->isEnabled());
}

TEST_F(BrowserTest, InstanceListCopiesAnItemOrTheWholeList) {
    window->PopupMenu3Popup();  // an empty list
    EXPECT_FALSE(window->Copy1item1->isEnabled());
    EXPECT_FALSE(window->Copylist1->isEnabled());

    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    window->PopupMenu3Popup();
    EXPECT_FALSE(window->Copy1item1->isEnabled());
    EXPECT_TRUE(window->Copylist1->isEnabled());
    window->Copy1item1Click();
    EXPECT_EQ(clipboard(), "untouched");

    clickLine(1);
    window->PopupMenu3Popup();
    ASSERT_TRUE(window->Copy1item1->isEnabled());
    window->Copy1item1->trigger();
    EXPECT_EQ(clipboard(), "second");

    window->InstanceListBox->append(kPlaceholder);  // as while a run goes on
    window->Copylist1->trigger();
    EXPECT_EQ(clipboard(), "first\r\nsecond\r\nthird\r\nRequesting WMI...\r\n");
}

TEST_F(BrowserTest, MethodCopiesTakeTheWholeMethodFromAnyOfItsNodes) {
    clickClass("Gadget");
    ASSERT_TRUE(waitDone(1));
    QTreeWidget& tree = *window->TreeView1;
    window->PopupMenu4Popup();
    EXPECT_FALSE(window->Copymethod1->isEnabled());
    EXPECT_TRUE(window->Copyallmethods1->isEnabled());

    const QString move = "Move\r\n  in X\r\n  in Y\r\n  out Distance\r\n  out ReturnValue\r\n";
    const std::pair<QTreeWidgetItem*, QString> cases[] = {
        {tree.topLevelItem(1), move},
        {tree.topLevelItem(1)->child(3), move},  // a parameter copies its method
        {tree.topLevelItem(0), "Reset\r\n  out ReturnValue\r\n"},
    };
    for (const auto& [node, text] : cases) {
        tree.setCurrentItem(node);
        window->PopupMenu4Popup();
        ASSERT_TRUE(window->Copymethod1->isEnabled());
        window->Copymethod1->trigger();
        EXPECT_EQ(clipboard(), text);
    }
    window->Copyallmethods1->trigger();
    EXPECT_EQ(clipboard(), "Reset\r\n  out ReturnValue\r\n" + move);

    clickClass("Tool");  // no methods
    window->PopupMenu4Popup();
    EXPECT_FALSE(window->Copymethod1->isEnabled());
    EXPECT_FALSE(window->Copyallmethods1->isEnabled());
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
        {window->PropGrid, [&] { selectGridRows(1, 2); }, "Id: \r\nName: \r\n"},
        {window->InstanceListBox, [&] { clickLine(2); }, "third"},
        {window->TreeView1,
         [&] { window->TreeView1->setCurrentItem(window->TreeView1->topLevelItem(0)->child(0)); },
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
        {window->PropGrid, window->PopupMenu2},
        {window->InstanceListBox, window->PopupMenu3},
        {window->TreeView1, window->PopupMenu4},
    };
    for (const auto& [view, menu] : cases) {
        emit view->customContextMenuRequested(QPoint(5, 5));
        EXPECT_TRUE(menu->isVisible()) << menu->objectName().toStdString();
        menu->close();
    }
}

}  // namespace
}  // namespace uitest
