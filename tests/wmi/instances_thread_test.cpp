// The instance enumeration thread against test hosts, with this thread as the
// window thread.
#include "wmi/instances_thread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "gate.h"
#include "test_hosts.h"
#include "window_loop.h"
#include "wmi/bw_variant.h"

namespace {

using namespace std::chrono_literals;
using wmi::PlainTargetList;
using wmi::TextList;
using wmi::TWMIInstancesThread;
using wmitest::Gate;
using wmitest::pumpFor;
using wmitest::pumpUntil;
using wmitest::ScopedHost;

constexpr const char* kPlaceholder = "Requesting WMI...";

const char* kMof = R"MOF(
class Named { [key] uint32 Id; string Name; string Caption; };
class Captioned { [key] uint32 Id; string DeviceID; string Caption; string Description; };
class Anonymous { [key] uint32 Num; uint32 Size; };  // "Id" would name it
class Blank { [key] uint32 Id; string Name; };
class Big { [key] uint32 Id; string Name; };
class Slow { [key] uint32 Id; string Name; };
class Failing { [key] uint32 Id; string Name; };

instance of Named { Id = 1; Name = "alpha"; Caption = "not this"; };
instance of Named { Id = 2; Name = "Žluťoučký kůň"; };
instance of Named { Id = 3; Name = "gamma"; };
instance of Captioned { Id = 1; DeviceID = "dev1"; Caption = "first caption"; };
instance of Captioned { Id = 2; DeviceID = "dev2"; Caption = "second caption"; };
instance of Anonymous { Num = 7; Size = 70; };
instance of Anonymous { Num = 8; Size = 80; };
instance of Blank { Id = 1; };
instance of Blank { Id = 2; Name = "  "; };
instance of Blank { Id = 3; Name = "real"; };
)MOF";

std::string itemName(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "Item%05d", i);
    return buf;
}

constexpr int kBigCount = 40000;
constexpr int kSlowCount = 10;

class InstancesThread : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        host_ = new ScopedHost("wmi-threads", kMof);
        locked_ = new ScopedHost("wmi-threads-locked", kMof, "alice", "secret");
        host_->generate("Big", kBigCount, [](int i, wbem::Instance& inst) {
            inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
            inst.set("Name", wbem::CimValue::string(itemName(i)));
        });
        host_->generate("Failing", 10, [](int i, wbem::Instance& inst) {
            if (i == 3) wbem::fail(wbem::hr::ProviderFailure);
            inst.set("Name", wbem::CimValue::string(itemName(i)));
        });
    }
    static void TearDownTestSuite() {
        delete host_;
        delete locked_;
    }

    void SetUp() override {
        gate_ = std::make_shared<Gate>();
        host_->generate("Slow", kSlowCount, [gate = gate_](int i, wbem::Instance& inst) {
            gate->pass(i);
            inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
            inst.set("Name", wbem::CimValue::string(itemName(i)));
        });
        thread_ = new TWMIInstancesThread;
        thread_->OnDone = [this](TWMIInstancesThread* t, int32_t count, const std::string& error) {
            EXPECT_EQ(t, thread_);
            done_.push_back({count, error});
        };
    }
    void TearDown() override {
        if (thread_) thread_->Terminate();
        gate_->allow(1 << 30);  // a worker still inside the walk gets out of it
    }

    void select(const std::string& cls, wmi::TargetList* target = nullptr,
                const std::string& host = "wmi-threads") {
        thread_->SetTarget(host, "root\\cimv2", "", "", cls, target ? target : &list_);
    }
    bool waitForDone(size_t calls = 1) {
        return pumpUntil([&] { return done_.size() >= calls; });
    }
    static TextList itemNames(int from, int to) {
        TextList names;
        for (int i = from; i < to; ++i) names.push_back(itemName(i));
        return names;
    }

    struct Done {
        int32_t count;
        std::string error;
    };

    static ScopedHost* host_;
    static ScopedHost* locked_;
    std::shared_ptr<Gate> gate_;
    TWMIInstancesThread* thread_ = nullptr;
    PlainTargetList list_;
    std::vector<Done> done_;
};

ScopedHost* InstancesThread::host_ = nullptr;
ScopedHost* InstancesThread::locked_ = nullptr;

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;
// "Žluťoučký kůň" as the instance list holds it: in this machine's code page.
const std::string kCzechLocal = "\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88";

std::string mofTextName(const std::string& prefix, uint32_t id) {
    auto services = wmi::OpenServices("wmi-threads", "root\\cimv2", "", "");
    auto text = services->Get("Anonymous.Num=" + std::to_string(id))->GetObjectText_(0);
    return prefix + wmi::Trimmed(text);  // UTF-8 already, as the list holds it
}

TEST_F(InstancesThread, NamesEachInstanceByItsBestProperty) {
    ASSERT_TRUE(kUtf8Desktop);
    const struct {
        const char* cls;
        TextList expected;
    } cases[] = {
        {"Named", {"alpha", kCzechLocal, "gamma"}},
        {"Captioned", {"first caption", "second caption"}},
        {"Anonymous", {mofTextName("[000]", 7), mofTextName("[001]", 8)}},
        {"Blank", {"<<Instance_00>>", "<<Instance_01>>", "real"}},
    };
    for (const auto& c : cases) {
        done_.clear();
        select(c.cls);
        ASSERT_TRUE(waitForDone()) << c.cls;
        EXPECT_EQ(list_.lines, c.expected) << c.cls;
        ASSERT_EQ(done_.size(), 1u) << c.cls;
        EXPECT_EQ(done_[0].count, int32_t(c.expected.size()));
        EXPECT_EQ(done_[0].error, "");
    }
}

TEST_F(InstancesThread, TheLimitEndsTheRunAfterOneMoreInstance) {
    thread_->Limit = 30000;
    select("Big");
    ASSERT_TRUE(waitForDone());
    ASSERT_EQ(list_.lines.size(), 30001u);
    EXPECT_EQ(list_.lines, itemNames(0, 30001));  // no placeholder left behind
    EXPECT_EQ(done_[0].count, 30001);
    EXPECT_EQ(done_[0].error, "");
}

TEST_F(InstancesThread, EachInstanceShowsAsItArrivesWithAPlaceholderAfterIt) {
    select("Slow");
    EXPECT_TRUE(pumpUntil([&] { return list_.lines == TextList{kPlaceholder}; }));
    gate_->allow(2);
    EXPECT_TRUE(pumpUntil([&] {
        return list_.lines == TextList{itemName(0), itemName(1), kPlaceholder};
    }));
    EXPECT_TRUE(done_.empty());
    gate_->allow(kSlowCount);
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.lines, itemNames(0, kSlowCount));
}

TEST_F(InstancesThread, EachInstanceLineCarriesItsPathAndNoOtherLineDoes) {
    using Paths = std::vector<wmi::LinePath>;
    const std::string at = "\\\\WMI-THREADS\\root\\cimv2:";
    select("Named");
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.paths, (Paths{at + "Named.Id=1", at + "Named.Id=2", at + "Named.Id=3"}));

    // The placeholder names no object, and the instance that replaces it
    // brings its own path.
    done_.clear();
    select("Slow");
    gate_->allow(1);
    ASSERT_TRUE(pumpUntil([&] { return list_.lines == TextList{itemName(0), kPlaceholder}; }));
    EXPECT_EQ(list_.paths, (Paths{at + "Slow.Id=0", std::nullopt}));
    gate_->allow(kSlowCount);
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.paths.size(), size_t(kSlowCount));
    EXPECT_EQ(list_.paths.back(), at + "Slow.Id=9");

    // Instances whose key is null have no path; the error line names nothing.
    done_.clear();
    select("Failing");
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.paths, (Paths{"", "", "", std::nullopt}));
}

TEST_F(InstancesThread, AnotherClassAbandonsTheRunWithoutReportingIt) {
    select("Slow");
    gate_->allow(3);
    ASSERT_TRUE(pumpUntil([&] { return list_.lines.size() == 4; }));
    select("Named");
    EXPECT_TRUE(list_.lines.empty());  // cleared at once
    gate_->allow(kSlowCount);          // the worker was waiting for the 4th
    ASSERT_TRUE(waitForDone());
    pumpFor(100ms);
    EXPECT_EQ(list_.lines, (TextList{"alpha", kCzechLocal, "gamma"}));
    ASSERT_EQ(done_.size(), 1u);
    EXPECT_EQ(done_[0].count, 3);
}

TEST_F(InstancesThread, LinesOfAnAbandonedRunNeverReachTheNewList) {
    // The old run's lines are waiting for the window when the new request
    // comes: they must be dropped, not shown in the new class's list.
    select("Slow");
    gate_->allow(5);
    while (gate_->produced < 5) std::this_thread::sleep_for(1ms);  // no events run meanwhile
    std::this_thread::sleep_for(100ms);
    select("Captioned");
    gate_->allow(kSlowCount);
    ASSERT_TRUE(waitForDone());
    pumpFor(100ms);
    EXPECT_EQ(list_.lines, (TextList{"first caption", "second caption"}));
    EXPECT_EQ(done_.size(), 1u);
}

TEST_F(InstancesThread, AFinishedRunOvertakenByARequestIsNotReported) {
    // The worker ends the Named run and waits for the window to run its end
    // while the window is busy selecting another class.
    select("Named");
    std::this_thread::sleep_for(200ms);
    select("Captioned");
    ASSERT_TRUE(waitForDone());
    pumpFor(100ms);
    EXPECT_EQ(list_.lines, (TextList{"first caption", "second caption"}));
    ASSERT_EQ(done_.size(), 1u);
    EXPECT_EQ(done_[0].count, 2);
}

TEST_F(InstancesThread, RestartDuringARunStartsFromTheFirstInstance) {
    select("Slow");
    gate_->allow(3);
    ASSERT_TRUE(pumpUntil([&] { return list_.lines.size() == 4; }));
    thread_->Restart();
    EXPECT_TRUE(list_.lines.empty());
    gate_->allow(kSlowCount);
    ASSERT_TRUE(waitForDone());
    pumpFor(50ms);
    EXPECT_EQ(list_.lines, itemNames(0, kSlowCount));
    ASSERT_EQ(done_.size(), 1u);
    EXPECT_EQ(done_[0].count, kSlowCount);
}

TEST_F(InstancesThread, ARequestWhileARunEndsIsNotLost) {
    // The window asks for the next class from inside OnDone, which runs while
    // the worker is ending the run.
    thread_->OnDone = [this](TWMIInstancesThread*, int32_t count, const std::string& error) {
        done_.push_back({count, error});
        if (done_.size() == 1) select("Captioned");
        if (done_.size() == 2) thread_->Restart();
    };
    select("Named");
    ASSERT_TRUE(waitForDone(3));
    EXPECT_EQ(done_[0].count, 3);
    EXPECT_EQ(done_[1].count, 2);
    EXPECT_EQ(done_[2].count, 2);
    EXPECT_EQ(list_.lines, (TextList{"first caption", "second caption"}));
}

TEST_F(InstancesThread, TheSameClassAgainAfterItsRunListsItAgain) {
    select("Named");
    ASSERT_TRUE(waitForDone());
    PlainTargetList other;
    select("Named", &other);
    ASSERT_TRUE(waitForDone(2));
    EXPECT_EQ(other.lines.size(), 3u);
    EXPECT_EQ(done_[1].count, 3);
}

TEST_F(InstancesThread, FailuresEndTheRunWithOneErrorLine) {
    const struct {
        const char* what;
        const char* host;
        const char* user;
        const char* password;
        const char* cls;
        TextList lines;
        int32_t count;
    } cases[] = {
        {"wrong password",
         "wmi-threads-locked",
         "alice",
         "wrong",
         "Named",
         {"WMI Error: Access denied"},
         0},
        {"unknown class", "wmi-threads", "", "", "NoSuchClass", {"WMI Error: Invalid class"}, 0},
        {"unreachable host",
         "no-such-host.invalid",
         "",
         "",
         "Named",
         {"WMI Error: The RPC server is unavailable."},
         0},
        // A walk that breaks down is reported, not passed off as complete.
        {"provider fails mid-walk",
         "wmi-threads",
         "",
         "",
         "Failing",
         {itemName(0), itemName(1), itemName(2), "WMI Error: Provider failure"},
         3},
    };
    for (const auto& c : cases) {
        done_.clear();
        thread_->SetTarget(c.host, "root\\cimv2", c.user, c.password, c.cls, &list_);
        ASSERT_TRUE(waitForDone()) << c.what;
        EXPECT_EQ(list_.lines, c.lines) << c.what;
        EXPECT_EQ(done_[0].error, c.lines.back()) << c.what;
        EXPECT_EQ(done_[0].count, c.count) << c.what;
    }
    // The thread goes on working after a failure.
    done_.clear();
    thread_->SetTarget("wmi-threads-locked", "root\\cimv2", "alice", "secret", "Named", &list_);
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.lines.size(), 3u);
    EXPECT_EQ(done_[0].error, "");
}

TEST_F(InstancesThread, NoTargetOrNoClassMakesTheThreadIdle) {
    PlainTargetList untouched;
    untouched.lines = {"keep"};
    thread_->SetTarget("wmi-threads", "root\\cimv2", "", "", "Named", nullptr);
    pumpFor(200ms);
    thread_->SetTarget("wmi-threads", "root\\cimv2", "", "", "", &untouched);
    pumpFor(200ms);
    thread_->Restart();  // the same empty class again
    pumpFor(200ms);
    EXPECT_TRUE(done_.empty());
    EXPECT_TRUE(untouched.lines.empty());  // cleared by SetTarget, nothing added
    select("Named");
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(list_.lines.size(), 3u);
}

TEST_F(InstancesThread, KeepsItsConnectionUntilTheParametersChange) {
    wmitest::RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    select("Named");
    ASSERT_TRUE(waitForDone(1));
    select("Captioned");
    ASSERT_TRUE(waitForDone(2));
    thread_->Restart();
    ASSERT_TRUE(waitForDone(3));
    EXPECT_EQ(rec.connectCount(), 1u);
    wmi::AuthenticationLevel = 3;  // alone, no reason to reconnect
    select("Named");
    ASSERT_TRUE(waitForDone(4));
    EXPECT_EQ(rec.connectCount(), 1u);
    thread_->SetTarget("wmi-threads", "root\\cimv2", "someone", "pw", "Named", &list_);
    ASSERT_TRUE(waitForDone(5));
    wmi::AuthenticationLevel = 0;
    ASSERT_EQ(rec.connectCount(), 2u);
    EXPECT_EQ(rec.connects[1].user, "someone");
    EXPECT_EQ(rec.connects[1].levelAtConnect, 3);
}

TEST_F(InstancesThread, ConnectsWithTheTargetsRemoteOptionsAndReconnectsWhenTheyChange) {
    wmitest::RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    wbem::RemoteOptions options;
    options.auth = wbem::AuthMethod::Basic;
    options.caFile = "ca.pem";
    thread_->SetTarget("wmi-threads", "root\\cimv2", "", "", "Named", &list_, options);
    ASSERT_TRUE(waitForDone(1));
    thread_->SetTarget("wmi-threads", "root\\cimv2", "", "", "Captioned", &list_, options);
    ASSERT_TRUE(waitForDone(2));
    ASSERT_EQ(rec.connectCount(), 1u) << "the same options keep the connection";
    options.allowUnencrypted = true;
    thread_->SetTarget("wmi-threads", "root\\cimv2", "", "", "Named", &list_, options);
    ASSERT_TRUE(waitForDone(3));
    ASSERT_EQ(rec.connectCount(), 2u);
    for (const auto& c : rec.connects) {
        ASSERT_TRUE(c.options.has_value());
        EXPECT_EQ(c.options->auth, wbem::AuthMethod::Basic);
        EXPECT_EQ(c.options->caFile, "ca.pem");
    }
    EXPECT_FALSE(rec.connects[0].options->allowUnencrypted);
    EXPECT_TRUE(rec.connects[1].options->allowUnencrypted);
}

TEST_F(InstancesThread, DestroyingTheOwnerMidRunNeverHangsOrTouchesItsList) {
    // A window owning the thread and its list goes away at some point of a
    // long run, many times; the workers must all end and free themselves.
    thread_->Terminate();
    thread_ = nullptr;
    struct Owner {
        TWMIInstancesThread* thread = new TWMIInstancesThread;
        PlainTargetList list;
        ~Owner() { thread->Terminate(); }
    };
    for (int round = 0; round < 30; ++round) {
        auto owner = std::make_unique<Owner>();
        owner->thread->Limit = 30000;
        owner->thread->SetTarget("wmi-threads", "root\\cimv2", "", "", "Big", &owner->list);
        const int until = (round * 997) % 3000;
        ASSERT_TRUE(pumpUntil([&] { return owner->list.count() > until; }));
        if (round % 3 == 0) std::this_thread::sleep_for(1ms);  // let lines queue up
        owner.reset();
        pumpFor(std::chrono::milliseconds(round % 5));  // queued steps run against nothing
    }
    EXPECT_TRUE(TWMIInstancesThread::WaitForAllEnded(60s));
}

TEST_F(InstancesThread, TheOwnerMayGoAwayFromInsideOnDone) {
    auto list = std::make_unique<PlainTargetList>();
    bool called = false;
    thread_->OnDone = [&](TWMIInstancesThread* t, int32_t, const std::string&) {
        called = true;
        t->Terminate();
        list.reset();
    };
    select("Named", list.get());
    ASSERT_TRUE(pumpUntil([&] { return called; }));
    thread_ = nullptr;
    pumpFor(50ms);
    EXPECT_TRUE(TWMIInstancesThread::WaitForAllEnded(10s));
}

TEST_F(InstancesThread, AnIdleThreadEndsPromptlyWhenTerminated) {
    thread_->Terminate();
    thread_ = nullptr;
    EXPECT_TRUE(TWMIInstancesThread::WaitForAllEnded(2s));
    EXPECT_EQ(TWMIInstancesThread::LiveCount(), 0);
}

}  // namespace
