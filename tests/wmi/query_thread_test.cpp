// The query thread against a test host, with this thread as the window thread:
// runs that end, runs held inside the service by a gate, and runs stopped,
// replaced or left behind by their owner.
#include "wmi/query_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <thread>
#include <vector>

#include "gate.h"
#include "test_hosts.h"
#include "window_loop.h"

namespace {

using namespace std::chrono_literals;
using wmi::QueryThread;
using wmi::TextList;
using wmitest::Gate;
using wmitest::pumpFor;
using wmitest::pumpUntil;
using wmitest::ScopedHost;

const char* kMof = R"MOF(
class Pair { [key] uint32 Id; string Label; };
class Held { [key] uint32 Id; string Label; };
instance of Pair { Id = 1; Label = "one"; };
instance of Pair { Id = 2; Label = "two"; };
)MOF";

constexpr int kHeldCount = 3;

class QueryThreadTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { host_ = new ScopedHost("wmi-query-thread", kMof); }
    static void TearDownTestSuite() { delete host_; }

    void SetUp() override {
        gate_ = std::make_shared<Gate>();
        host_->generate("Held", kHeldCount, [gate = gate_](int i, wbem::Instance& inst) {
            gate->pass(i);
            inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
            inst.set("Label", wbem::CimValue::string("held"));
        });
        connection_.SetHost("wmi-query-thread");
    }
    void TearDown() override {
        gate_->allow(1 << 30);  // a worker still in the service gets out
        EXPECT_TRUE(QueryThread::WaitForAllEnded(30s)) << "a worker did not end";
        QCoreApplication::processEvents();  // steps posted for stopped runs run as no-ops
    }

    // Starts a query whose outcome is recorded with the thread it arrived on.
    void start(QueryThread& thread, const char* query, bool withPaths = false) {
        thread.start(connection_, query, withPaths, [this](QueryThread::Outcome& outcome) {
            EXPECT_EQ(std::this_thread::get_id(), windowThread_);
            outcomes_.push_back(std::move(outcome));
        });
    }
    // Waits until the worker sits in the gate, inside the service.
    bool heldInTheService() {
        return pumpUntil([&] { return gate_->arrived > 0; }, 30s) && gate_->produced == 0;
    }

    static ScopedHost* host_;
    std::shared_ptr<Gate> gate_;
    wmi::TWMI connection_;
    std::vector<QueryThread::Outcome> outcomes_;
    const std::thread::id windowThread_ = std::this_thread::get_id();
};

ScopedHost* QueryThreadTest::host_ = nullptr;

TEST_F(QueryThreadTest, AFinishedRunHandsItsTableToTheWindowThreadWithPathsOnlyWhenAsked) {
    const std::string at = "\\\\WMI-QUERY-THREAD\\root\\cimv2:";
    const struct {
        bool withPaths;
        TextList paths;
    } cases[] = {{true, {at + "Pair.Id=1", at + "Pair.Id=2"}}, {false, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.withPaths);
        outcomes_.clear();
        QueryThread thread;
        start(thread, "select * from Pair", c.withPaths);
        EXPECT_TRUE(thread.running());
        ASSERT_TRUE(pumpUntil([&] { return !outcomes_.empty(); }));
        EXPECT_FALSE(thread.running());
        ASSERT_EQ(outcomes_.size(), 1u);
        const QueryThread::Outcome& o = outcomes_[0];
        EXPECT_TRUE(o.ok) << o.error;
        EXPECT_EQ(o.table.Columns, (TextList{"Id", "Label"}));
        EXPECT_EQ(o.table.Cells, (TextList{"1", "one", "2", "two"}));
        EXPECT_EQ(o.table.Paths, c.paths);
        EXPECT_EQ(o.codePage, connection_.CodePage);
    }
}

TEST_F(QueryThreadTest, AFailureComesBackWithTheConnectionsErrorTexts) {
    QueryThread thread;
    start(thread, "select Label frm Pair");
    ASSERT_TRUE(pumpUntil([&] { return !outcomes_.empty(); }));
    const QueryThread::Outcome& o = outcomes_[0];
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, "Error: Invalid query");
    EXPECT_EQ(o.errorOffset, 13);
    EXPECT_FALSE(o.errorDetail.empty());
    EXPECT_EQ(connection_.LastError, "") << "the caller's connection is not the worker's";
}

TEST_F(QueryThreadTest, TheWindowThreadTurnsWhileARunIsHeldAndItsOutcomeComesOnceReleased) {
    QueryThread thread;
    start(thread, "select * from Held");
    ASSERT_TRUE(heldInTheService());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 5; }, 30s));
    EXPECT_TRUE(thread.running());
    EXPECT_TRUE(outcomes_.empty());
    gate_->allow(kHeldCount);
    ASSERT_TRUE(pumpUntil([&] { return !outcomes_.empty(); }));
    EXPECT_EQ(outcomes_[0].table.RowCount, kHeldCount);
}

TEST_F(QueryThreadTest, AStoppedReplacedOrOrphanedRunNeverReportsAndItsWorkerGivesUp) {
    enum class Then { Stop, StartAnother, DestroyOwner };
    for (Then then : {Then::Stop, Then::StartAnother, Then::DestroyOwner}) {
        SCOPED_TRACE(int(then));
        gate_->reset();
        outcomes_.clear();
        auto thread = std::make_unique<QueryThread>();
        start(*thread, "select * from Held");
        ASSERT_TRUE(heldInTheService());
        switch (then) {
            case Then::Stop:
                thread->stop();
                EXPECT_FALSE(thread->running());
                break;
            case Then::StartAnother:
                start(*thread, "select Label from Pair");
                break;
            case Then::DestroyOwner:
                thread.reset();
                break;
        }
        // One instance more, and the first run's worker gives up inside the
        // service: it never asks for the instances the gate still holds.
        gate_->allow(1);
        ASSERT_TRUE(QueryThread::WaitForAllEnded(30s));
        EXPECT_EQ(gate_->produced, 1);
        pumpFor(20ms);
        if (then == Then::StartAnother) {
            ASSERT_EQ(outcomes_.size(), 1u);
            EXPECT_EQ(outcomes_[0].table.Cells, (TextList{"one", "two"}));
            EXPECT_FALSE(thread->running());
        } else {
            EXPECT_TRUE(outcomes_.empty());
        }
    }
}

}  // namespace
