// Mount table parsing, the data-mount filter and the time bound on calls
// that may hang.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "wbem/providers/block_devices.h"
#include "wbem/providers/bounded_call.h"
#include "wbem/providers/mounts.h"

namespace wbem {
namespace {

using namespace std::chrono_literals;

TEST(UdevNameTest, DecodesHexEscapesAndKeepsMalformedOnes) {
    const struct {
        const char* name;
        const char* decoded;
    } cases[] = {
        {"plain", "plain"},           {"My\\x20Disk", "My Disk"},
        {"a\\x2fb", "a/b"},           {"end\\x41", "endA"},
        {"bad\\xZZ", "bad\\xZZ"},  // not hex: a stray escape must not fail the walk
        {"half\\x4", "half\\x4"},  // too short
        {"sign\\x-1x", "sign\\x-1x"}, {"\\x", "\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeUdevName(c.name), c.decoded) << c.name;
}

TEST(MountInfoTest, ParsesFieldsEscapesAndOptionalTags) {
    const char* text =
        "22 1 254:0 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw,discard\n"
        "30 22 0:26 / /mnt/with\\040blank\\011tab ro,nosuid - tmpfs tmp\\134fs rw,size=4k\n"
        "31 22 0:27 /sub /srv/nfs rw - nfs4 server:/export rw,vers=4.2\n"
        "malformed line\n"
        "32 22 0:28 / /no/separator rw ext4 /dev/x rw\n"
        "33 22 zz / /bad/devnum rw - ext4 /dev/y rw\n"
        "34 22 0:29 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n";
    auto mounts = parseMountInfo(text);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fsType, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/vda");
    EXPECT_EQ(mounts[0].major, 254u);
    EXPECT_FALSE(mounts[0].readOnly());
    EXPECT_EQ(mounts[1].mountPoint, "/mnt/with blank\ttab");
    EXPECT_EQ(mounts[1].source, "tmp\\fs");
    EXPECT_TRUE(mounts[1].readOnly());
    EXPECT_EQ(mounts[2].root, "/sub");
    EXPECT_EQ(mounts[2].source, "server:/export");
}

TEST(MountInfoTest, UnescapeLeavesIncompleteEscapesAlone) {
    EXPECT_EQ(unescapeMountField("a\\040b"), "a b");
    EXPECT_EQ(unescapeMountField("end\\04"), "end\\04");
    EXPECT_EQ(unescapeMountField("bad\\999"), "bad\\999");
    EXPECT_EQ(unescapeMountField("\\"), "\\");
}

TEST(DataMountsTest, KeepsDataFileSystemsAndTheVisibleMount) {
    const char* text =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 0:5 / /proc rw - proc proc rw\n"
        "3 1 0:6 / /sys rw - sysfs sysfs rw\n"
        "4 1 0:7 / /dev/shm rw - tmpfs tmpfs rw\n"
        "5 1 0:8 / /run rw - tmpfs tmpfs rw\n"
        "6 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "7 6 8:3 / /home rw - xfs /dev/sda3 rw\n"
        "8 1 0:9 / /net rw - nfs4 srv:/x rw\n"
        "9 1 0:10 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
        "10 1 0:11 / /mnt/cg rw - cgroup2 cgroup2 rw\n";
    auto data = dataMounts(parseMountInfo(text));
    std::vector<std::string> points;
    for (const auto& m : data) points.push_back(m.mountPoint + ":" + m.fsType);
    EXPECT_EQ(points, (std::vector<std::string>{"/:ext4", "/run:tmpfs", "/home:xfs", "/net:nfs4"}));
    EXPECT_TRUE(isNetworkFileSystem("nfs4"));
    EXPECT_TRUE(isMemoryFileSystem("tmpfs"));
    EXPECT_TRUE(isPseudoFileSystem("cgroup2"));
    EXPECT_FALSE(isPseudoFileSystem("ext4"));
}

TEST(BoundedCallTest, ReturnsTheResultOfAQuickCall) {
    auto r = runBounded<int>("bounded-test-quick", 2000ms, [] { return 42; });
    EXPECT_EQ(r.outcome, BoundedOutcome::Done);
    EXPECT_EQ(r.value, 42);
    auto failed = runBounded<int>("bounded-test-throws", 2000ms, []() -> int { throw 1; });
    EXPECT_EQ(failed.outcome, BoundedOutcome::Failed);
}

TEST(BoundedCallTest, AHungCallIsAbandonedAndNotRepeatedUntilItReturns) {
    // Stands in for statvfs of a network mount whose server is gone.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<int> started{0};
    auto hang = [&]() -> int {
        ++started;
        gate.wait();
        return 1;
    };
    const auto t0 = std::chrono::steady_clock::now();
    auto first = runBounded<int>("bounded-test-hung", 100ms, hang);
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(first.outcome, BoundedOutcome::TimedOut);
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 5s);
    // While the first call is stuck, a second one returns at once.
    const auto t1 = std::chrono::steady_clock::now();
    auto second = runBounded<int>("bounded-test-hung", 1000ms, hang);
    EXPECT_EQ(second.outcome, BoundedOutcome::StillBusy);
    EXPECT_LT(std::chrono::steady_clock::now() - t1, 500ms);
    // Other keys are not held up.
    EXPECT_EQ(runBounded<int>("bounded-test-other", 2000ms, [] { return 7; }).value, 7);
    release.set_value();
    // Once the stuck call returns, the key may be asked again.
    for (int i = 0; i < 200; ++i) {
        auto again = runBounded<int>("bounded-test-hung", 2000ms, hang);
        if (again.outcome == BoundedOutcome::Done) {
            EXPECT_EQ(again.value, 1);
            EXPECT_EQ(started.load(), 2);
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    FAIL() << "the key stayed busy after the call returned";
}

TEST(BoundedStatVfsTest, MissingPathFailsWithoutHanging) {
    EXPECT_EQ(boundedStatVfs("/nonexistent/cimscope/path").outcome, BoundedOutcome::Failed);
    auto root = boundedStatVfs("/");
    ASSERT_EQ(root.outcome, BoundedOutcome::Done);
    EXPECT_GT(root.usage.totalBytes, 0u);
    EXPECT_LE(root.usage.availableBytes, root.usage.freeBytes);
}

}  // namespace
}  // namespace wbem
