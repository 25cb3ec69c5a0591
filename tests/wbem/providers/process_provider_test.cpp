// Win32_Process over a /proc tree made by the test, and on the real machine.
#include "wbem/providers/process_provider.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "../../support/idle_child.h"
#include "test_support.h"
#include "wbem/providers/association_providers.h"
#include "wbem/providers/cim_datetime.h"
#include "wbem/text.h"

namespace wbem {
namespace {

using namespace std::string_literals;
using test::TempTree;

std::string statLine(int pid, std::string_view comm, int ppid, int threads, long startTicks) {
    return std::to_string(pid) + " (" + std::string(comm) + ") S " + std::to_string(ppid) +
           " 1 1 0 -1 4194560 100 0 2 0 250 50 0 0 20 0 " + std::to_string(threads) + " 0 " +
           std::to_string(startTicks) +
           " 8192000 300 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 "
           "0\n";
}

// A /proc tree with a boot time and a few processes of different shapes.
class FakeProcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.write("stat", "cpu 1 2 3\nbtime 1700000000\n");
        addProcess(1, "init", 0, "/sbin/init\0splash\0"s);
        // A name with blanks, parentheses, a newline and invalid UTF-8.
        addProcess(42, "a (b) c\nd\xff", 1, "/usr/bin/odd\0--x\0"s);
        // A long name the kernel cut at 15 bytes.
        addProcess(77, "systemd-journal", 1, "/lib/systemd/systemd-journald\0"s);
    }

    void addProcess(int pid, std::string_view comm, int ppid, const std::string& cmdline) {
        const std::string d = std::to_string(pid) + "/";
        tree.write(d + "stat", statLine(pid, comm, ppid, 3, 250));
        tree.write(d + "status", "Name:\tx\nTgid:\t" + std::to_string(pid) +
                                     "\nVmPeak:\t 9000 kB\nVmHWM:\t 700 kB\nRssAnon:\t 400 kB\n"
                                     "VmSwap:\t 100 kB\n");
        tree.write(d + "cmdline", cmdline);
        tree.write(d + "io", "rchar: 10\nwchar: 20\nsyscr: 1\nsyscw: 2\n");
        tree.write(d + "fd/0", "");
        tree.write(d + "fd/1", "");
    }

    std::vector<std::shared_ptr<const Instance>> run(const QueryHints& hints = {}) {
        auto provider = makeProcessProvider("root\\cimv2", tree.root());
        auto cursor = provider->open(cls, hints);
        return test::drain(*cursor);
    }

    static std::shared_ptr<const Instance> byHandle(
        const std::vector<std::shared_ptr<const Instance>>& all, const std::string& handle) {
        for (const auto& i : all)
            if (test::stringOf(*i, "Handle") == handle) return i;
        return nullptr;
    }

    TempTree tree;
    std::shared_ptr<const ClassDef> cls = test::cimv2Class("Win32_Process");
};

TEST_F(FakeProcTest, MapsEveryFileToItsProperties) {
    ASSERT_TRUE(cls);
    auto all = run();
    ASSERT_EQ(all.size(), 3u);
    auto p = byHandle(all, "1");
    ASSERT_TRUE(p);
    EXPECT_EQ(test::stringOf(*p, "Name"), "init");
    EXPECT_EQ(test::stringOf(*p, "Caption"), "init");
    EXPECT_EQ(test::stringOf(*p, "CommandLine"), "/sbin/init splash");
    EXPECT_EQ(test::uintOf(*p, "ProcessId"), 1u);
    EXPECT_EQ(test::uintOf(*p, "ParentProcessId"), 0u);
    EXPECT_EQ(test::uintOf(*p, "ThreadCount"), 3u);
    EXPECT_EQ(test::uintOf(*p, "HandleCount"), 2u);
    EXPECT_EQ(test::uintOf(*p, "PageFaults"), 102u);
    EXPECT_EQ(test::uintOf(*p, "PeakWorkingSetSize"), 700u);
    EXPECT_EQ(test::uintOf(*p, "PageFileUsage"), 500u);
    EXPECT_EQ(test::uintOf(*p, "PrivatePageCount"), 500u * 1024);
    EXPECT_EQ(test::uintOf(*p, "PeakVirtualSize"), 9000u * 1024);
    EXPECT_EQ(test::uintOf(*p, "VirtualSize"), 8192000u);
    EXPECT_EQ(test::uintOf(*p, "WorkingSetSize"),
              300u * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(test::uintOf(*p, "ReadTransferCount"), 10u);
    EXPECT_EQ(test::uintOf(*p, "WriteOperationCount"), 2u);
    EXPECT_EQ(test::uintOf(*p, "Priority"), 8u);
    EXPECT_EQ(test::uintOf(*p, "ExecutionState"), 4u);
    const uint64_t hz = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
    EXPECT_EQ(test::uintOf(*p, "UserModeTime"), 250u * 10000000 / hz);
    EXPECT_EQ(test::uintOf(*p, "KernelModeTime"), 50u * 10000000 / hz);
    // Started 250 ticks after boot.
    EXPECT_EQ(test::stringOf(*p, "CreationDate"),
              cimDateTime(1700000000 + 250 / static_cast<int64_t>(hz),
                          static_cast<uint32_t>(250 % hz * 1000000 / hz)));
    EXPECT_EQ(test::stringOf(*p, "CreationClassName"), "Win32_Process");
    EXPECT_EQ(test::stringOf(*p, "CSCreationClassName"), "Win32_ComputerSystem");
    EXPECT_FALSE(test::stringOf(*p, "CSName").empty());
    EXPECT_EQ(relPathOf(*p), "Win32_Process.Handle=\"1\"");
    for (const auto& i : all) EXPECT_EQ(test::typeProblems(*i), std::vector<std::string>{});
}

TEST_F(FakeProcTest, HostileNameIsKeptWholeAndMadeValidUtf8) {
    auto p = byHandle(run(), "42");
    ASSERT_TRUE(p);
    EXPECT_EQ(test::stringOf(*p, "Name"), "a (b) c\nd\xEF\xBF\xBD");
    EXPECT_EQ(test::uintOf(*p, "ParentProcessId"), 1u);
    EXPECT_EQ(test::uintOf(*p, "ThreadCount"), 3u);
}

TEST_F(FakeProcTest, NameCutByTheKernelIsCompletedFromTheCommandLine) {
    QueryHints hints;
    hints.selected = {"Name"};
    auto p = byHandle(run(hints), "77");
    ASSERT_TRUE(p);
    EXPECT_EQ(test::stringOf(*p, "Name"), "systemd-journald");
    // ... but only when argv[0] really continues the cut name.
    tree.write("77/cmdline", "/usr/bin/other\0"s);
    EXPECT_EQ(test::stringOf(*byHandle(run(hints), "77"), "Name"), "systemd-journal");
}

TEST_F(FakeProcTest, UnreadableFilesGiveNullsNotFailures) {
    // Files that cannot be read as files (here: folders) leave their
    // properties null; the process is still listed.
    tree.remove("42/status");
    tree.mkdir("42/status");
    tree.remove("42/cmdline");
    tree.mkdir("42/cmdline");
    tree.remove("42/io");
    tree.remove("42/fd");
    tree.write("42/fd", "not a folder");
    auto p = byHandle(run(), "42");
    ASSERT_TRUE(p);
    for (const char* prop : {"CommandLine", "PageFileUsage", "PeakWorkingSetSize",
                             "ReadTransferCount", "HandleCount", "ExecutablePath"})
        EXPECT_TRUE(test::valueOf(*p, prop).isNull()) << prop;
    EXPECT_EQ(test::uintOf(*p, "ThreadCount"), 3u);
}

TEST_F(FakeProcTest, TruncatedStatGivesNullsForTheMissingFields) {
    tree.write("42/stat", "42 (cut) R 1 1");
    auto p = byHandle(run(), "42");
    ASSERT_TRUE(p);
    EXPECT_EQ(test::uintOf(*p, "ParentProcessId"), 1u);
    EXPECT_EQ(test::uintOf(*p, "ExecutionState"), 3u);
    for (const char* prop : {"ThreadCount", "CreationDate", "VirtualSize", "UserModeTime",
                             "Priority", "SessionId", "PageFaults"})
        EXPECT_TRUE(test::valueOf(*p, prop).isNull()) << prop;
}

TEST_F(FakeProcTest, VanishedAndMalformedProcessesAreSkipped) {
    tree.remove("42/stat");            // exited between the listing and the read
    tree.write("77/stat", "garbage");  // not a stat line at all
    tree.mkdir("notapid");
    tree.mkdir("0123");  // not canonical: not a process folder
    auto all = run();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(test::stringOf(*all[0], "Handle"), "1");
}

TEST_F(FakeProcTest, StreamsOneProcessPerStep) {
    auto provider = makeProcessProvider("root\\cimv2", tree.root());
    auto cursor = provider->open(cls, {});
    auto first = cursor->next();
    ASSERT_TRUE(first);
    // The others are read only when asked for: removed now, they are gone.
    for (const char* pid : {"1", "42", "77"})
        if (test::stringOf(*first, "Handle") != pid) tree.remove(pid);
    EXPECT_EQ(cursor->next(), nullptr);
}

TEST_F(FakeProcTest, KeyConditionReadsOnlyThatProcess) {
    struct Case {
        const char* property;
        CimValue value;
        std::vector<std::string> handles;
    };
    const Case cases[] = {
        {"Handle", CimValue::string("42"), {"42"}},
        {"ProcessId", CimValue::uint(77), {"77"}},
        {"ProcessId", CimValue::sint(1), {"1"}},
        {"Handle", CimValue::string("999"), {}},
    };
    for (const Case& c : cases) {
        QueryHints hints;
        hints.equals.emplace_back(c.property, c.value);
        // The other processes are made unreadable garbage: a narrowed walk never sees them.
        auto all = run(hints);
        std::vector<std::string> got;
        for (const auto& i : all) got.push_back(test::stringOf(*i, "Handle"));
        EXPECT_EQ(got, c.handles) << c.property;
    }
    // A key text that no process folder is named by falls back to the walk
    // (the query still filters it) instead of guessing.
    QueryHints odd;
    odd.equals.emplace_back("Handle", CimValue::string("0042"));
    EXPECT_EQ(run(odd).size(), 3u);
}

// A class compiled anew is a new definition with its own slots: one provider
// maps each definition's instances by that definition, whichever it saw before.
TEST_F(FakeProcTest, EachClassDefinitionGetsItsOwnSlots) {
    ASSERT_TRUE(cls);
    auto redefined = std::make_shared<ClassDef>();
    redefined->name = "Win32_Process";
    // Fewer properties than the schema's, in another order.
    for (auto [name, type] :
         {std::pair{"ThreadCount", CimType::UInt32}, std::pair{"Name", CimType::String},
          std::pair{"Handle", CimType::String}}) {
        PropertyDef p;
        p.name = name;
        p.type.type = type;
        p.isKey = std::string_view(name) == "Handle";
        redefined->properties.push_back(std::move(p));
    }
    redefined->finalize();
    const std::shared_ptr<const ClassDef> defs[] = {cls, redefined, cls};

    auto provider = makeProcessProvider("root\\cimv2", tree.root());
    QueryHints hints;
    hints.equals.emplace_back("Handle", CimValue::string("1"));
    for (const auto& def : defs) {
        auto cursor = provider->open(def, hints);
        auto all = test::drain(*cursor);
        ASSERT_EQ(all.size(), 1u) << def->properties.size();
        const Instance& p = *all[0];
        EXPECT_EQ(&p.cls(), def.get());
        EXPECT_EQ(p.values().size(), def->properties.size());
        EXPECT_EQ(test::stringOf(p, "Handle"), "1");
        EXPECT_EQ(test::stringOf(p, "Name"), "init");
        EXPECT_EQ(test::uintOf(p, "ThreadCount"), 3u);
    }
}

// The links of the computer to its processes are mapped by each definition's
// own slots too: here a definition with its two ends in the other order.
TEST_F(FakeProcTest, ProcessLinksFollowEachClassDefinition) {
    const auto schema = test::cimv2Class("Win32_SystemProcesses");
    ASSERT_TRUE(schema);
    auto swapped = std::make_shared<ClassDef>();
    swapped->name = "Win32_SystemProcesses";
    swapped->association = true;
    for (const char* name : {"PartComponent", "GroupComponent"}) {
        PropertyDef p;
        p.name = name;
        p.type.type = CimType::Reference;
        p.isKey = true;
        swapped->properties.push_back(std::move(p));
    }
    swapped->finalize();
    const std::shared_ptr<const ClassDef> defs[] = {schema, swapped, schema};

    auto provider = makeSystemProcessesProvider("root\\cimv2", tree.root());
    for (const auto& def : defs) {
        SCOPED_TRACE(def->properties[0].name + " first");
        auto all = test::drain(*provider->open(def, {}));
        ASSERT_EQ(all.size(), 3u);
        for (const auto& link : all) {
            EXPECT_EQ(&link->cls(), def.get());
            EXPECT_NE(test::stringOf(*link, "GroupComponent").find(":Win32_ComputerSystem.Name="),
                      std::string::npos);
            EXPECT_NE(test::stringOf(*link, "PartComponent").find(":Win32_Process.Handle="),
                      std::string::npos);
        }
    }
}

TEST_F(FakeProcTest, KeyConditionOnAThreadIdFindsNoProcess) {
    // /proc/<tid> exists for every thread; its Tgid names the real process.
    tree.write("43/stat", statLine(43, "worker", 1, 3, 250));
    tree.write("43/status", "Tgid:\t42\n");
    QueryHints hints;
    hints.equals.emplace_back("Handle", CimValue::string("43"));
    EXPECT_TRUE(run(hints).empty());
}

TEST_F(FakeProcTest, UnselectedExpensivePropertiesAreNotRead) {
    QueryHints hints;
    hints.selected = {"Caption", "ThreadCount"};
    // A process whose files vanish while it is read is skipped, so all three
    // listed proves these files were never opened. (77's cut name still
    // needs its command line.)
    for (const char* pid : {"1", "42", "77"}) tree.remove(std::string(pid) + "/status");
    tree.remove("1/cmdline");
    tree.remove("42/cmdline");
    auto all = run(hints);
    ASSERT_EQ(all.size(), 3u);
    for (const auto& p : all) {
        EXPECT_FALSE(test::stringOf(*p, "Caption").empty());
        EXPECT_EQ(test::uintOf(*p, "ThreadCount"), 3u);
        EXPECT_FALSE(test::stringOf(*p, "Handle").empty());  // keys are always there
        for (const char* prop : {"HandleCount", "CommandLine", "PageFileUsage", "CreationDate"})
            EXPECT_TRUE(test::valueOf(*p, prop).isNull()) << prop;
    }
}

TEST(PriorityTest, MapsNiceAndRealTimeOntoWindowsLevels) {
    struct Case {
        int64_t nice, rt, policy;
        uint32_t expected;
    };
    const Case cases[] = {{0, 0, 0, 8},   {19, 0, 0, 1},   {-20, 0, 0, 15}, {10, 0, 0, 4},
                          {-5, 0, 0, 10}, {0, 1, 1, 17},   {0, 99, 2, 31},  {0, 50, 1, 24},
                          {40, 0, 0, 1},  {-40, 0, 0, 15}, {0, 50, 0, 8}};
    for (const Case& c : cases)
        EXPECT_EQ(windowsPriority(c.nice, c.rt, c.policy), c.expected)
            << c.nice << " " << c.rt << " " << c.policy;
}

// ---- The real machine ----

size_t procEntries() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) ++n;
    }
    return n;
}

TEST(LiveProcessTest, EveryProcessHasWellTypedPlausibleValues) {
    const size_t before = procEntries();
    auto all = test::liveInstances("root\\cimv2", "Win32_Process");
    const size_t after = procEntries();
    EXPECT_GE(all.size() + 5, std::min(before, after));
    EXPECT_LE(all.size(), std::max(before, after) + 5);

    std::ifstream statFile("/proc/stat");
    std::string word;
    int64_t boot = 0;
    while (statFile >> word)
        if (word == "btime") statFile >> boot;
    ASSERT_GT(boot, 0);
    // Boot time is whole seconds; a process may start in the second it reports.
    const std::string bootDate = cimDateTime(boot, 0);
    const std::string now = cimDateTimeNow();
    for (const auto& p : all) {
        EXPECT_EQ(test::typeProblems(*p), std::vector<std::string>{});
        const std::string handle = test::stringOf(*p, "Handle");
        EXPECT_EQ(handle, std::to_string(test::uintOf(*p, "ProcessId")));
        EXPECT_EQ(relPathOf(*p), "Win32_Process.Handle=\"" + handle + "\"");
        const std::string created = test::stringOf(*p, "CreationDate");
        ASSERT_TRUE(test::isCimDateTime(created)) << handle;
        // Same zone offset on this machine, so the texts compare as times.
        EXPECT_GE(created.substr(0, 14), bootDate.substr(0, 14)) << handle;
        EXPECT_LE(created.substr(0, 14), now.substr(0, 14)) << handle;
        EXPECT_GE(test::uintOf(*p, "ThreadCount"), 1u) << handle;
        EXPECT_LE(test::uintOf(*p, "Priority"), 31u);
        EXPECT_FALSE(test::stringOf(*p, "Name").empty()) << handle;
    }
}

TEST(LiveProcessTest, OwnProcessIsDescribedCorrectly) {
    QueryHints hints;
    hints.equals.emplace_back("Handle", CimValue::string(std::to_string(getpid())));
    auto mine = test::liveInstances("root\\cimv2", "Win32_Process", hints);
    ASSERT_EQ(mine.size(), 1u);
    const Instance& p = *mine[0];
    EXPECT_EQ(test::uintOf(p, "ProcessId"), static_cast<uint64_t>(getpid()));
    EXPECT_EQ(test::uintOf(p, "ParentProcessId"), static_cast<uint64_t>(getppid()));
    EXPECT_EQ(test::stringOf(p, "ExecutablePath"),
              std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_NE(test::stringOf(p, "CommandLine").find("provider_tests"), std::string::npos);
    EXPECT_GE(test::uintOf(p, "HandleCount"), 3u);
    EXPECT_GT(test::uintOf(p, "WorkingSetSize"), 0u);
    EXPECT_GT(test::uintOf(p, "VirtualSize"), test::uintOf(p, "WorkingSetSize"));
    EXPECT_EQ(test::stringOf(p, "Name"), "provider_tests");
}

TEST(LiveProcessTest, ThreadIdIsNotAProcessAndCountsFollowTheProcess) {
    const test::IdleThread worker;
    QueryHints byTid;
    byTid.equals.emplace_back("Handle", CimValue::string(std::to_string(worker.tid())));
    EXPECT_TRUE(test::liveInstances("root\\cimv2", "Win32_Process", byTid).empty());
    QueryHints mine;
    mine.equals.emplace_back("ProcessId", CimValue::uint(static_cast<uint64_t>(getpid())));
    auto self = test::liveInstances("root\\cimv2", "Win32_Process", mine);
    ASSERT_EQ(self.size(), 1u);
    EXPECT_GE(test::uintOf(*self[0], "ThreadCount"), 2u);
}

// sleep's command, with a command line of exactly `bytes` bytes (the zeros
// after its time add nothing to it).
std::vector<std::string> sleepCommandOf(size_t bytes) {
    std::vector<std::string> args = {"sleep", "600"};
    size_t left = bytes - 10;  // "sleep\0600\0"
    while (left > 1000) {
        args.push_back(std::string(999, '0'));
        left -= 1000;
    }
    args.push_back(std::string(left - 1, '0'));
    return args;
}

// "Key: value" lines of a /proc file, read with the standard library.
std::map<std::string, uint64_t> keyNumbers(const std::string& path) {
    std::map<std::string, uint64_t> out;
    std::ifstream in(path);
    std::string key;
    uint64_t value = 0;
    while (in >> key) {
        if (key.back() == ':' && in >> value) out[key.substr(0, key.size() - 1)] = value;
        in.clear();
        in.ignore(1 << 20, '\n');
    }
    return out;
}

TEST(LiveProcessTest, ChildProcessMatchesItsProcFiles) {
    // Command lines just under, at and over one read's page, and of several
    // pages.
    for (const size_t bytes : {size_t{4095}, size_t{4096}, size_t{4097}, size_t{9000}}) {
        SCOPED_TRACE(bytes);
        const std::vector<std::string> command = sleepCommandOf(bytes);
        const testsupport::IdleChild child(testsupport::IdleChild::Options{command});
        ASSERT_TRUE(child.started());
        const std::string dir = "/proc/" + child.pid() + "/";
        QueryHints hints;
        hints.equals.emplace_back("Handle", CimValue::string(child.pid()));
        auto found = test::liveInstances("root\\cimv2", "Win32_Process", hints);
        ASSERT_EQ(found.size(), 1u);
        const Instance& p = *found[0];

        EXPECT_EQ(test::stringOf(p, "CommandLine").size(), bytes - 1);
        std::string commandLine;
        for (const std::string& a : command) commandLine += (commandLine.empty() ? "" : " ") + a;
        EXPECT_EQ(test::stringOf(p, "CommandLine"), commandLine);
        EXPECT_EQ(test::stringOf(p, "Name"), "sleep");
        EXPECT_EQ(test::uintOf(p, "ParentProcessId"), static_cast<uint64_t>(getpid()));
        EXPECT_EQ(test::stringOf(p, "ExecutablePath"),
                  std::filesystem::read_symlink(dir + "exe").string());

        const auto status = keyNumbers(dir + "status");
        ASSERT_TRUE(status.count("VmPeak") && status.count("VmHWM") && status.count("RssAnon"));
        const uint64_t swap = status.count("VmSwap") ? status.at("VmSwap") : 0;
        EXPECT_EQ(test::uintOf(p, "PeakVirtualSize"), status.at("VmPeak") * 1024);
        EXPECT_EQ(test::uintOf(p, "PeakWorkingSetSize"), status.at("VmHWM"));
        EXPECT_EQ(test::uintOf(p, "PageFileUsage"), status.at("RssAnon") + swap);
        EXPECT_EQ(test::uintOf(p, "ThreadCount"), status.at("Threads"));

        const auto io = keyNumbers(dir + "io");
        ASSERT_TRUE(io.count("rchar") && io.count("syscw"));
        EXPECT_EQ(test::uintOf(p, "ReadTransferCount"), io.at("rchar"));
        EXPECT_EQ(test::uintOf(p, "WriteTransferCount"), io.at("wchar"));
        EXPECT_EQ(test::uintOf(p, "ReadOperationCount"), io.at("syscr"));
        EXPECT_EQ(test::uintOf(p, "WriteOperationCount"), io.at("syscw"));

        uint64_t fds = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir + "fd"))
            ++fds;
        EXPECT_EQ(test::uintOf(p, "HandleCount"), fds);
    }
}

TEST(LiveProcessTest, KernelThreadsCountNoHandlesWhereTheirFdsMayBeListed) {
    auto all = test::liveInstances("root\\cimv2", "Win32_Process");
    size_t checked = 0;
    for (const auto& p : all) {
        const std::string dir = "/proc/" + test::stringOf(*p, "Handle") + "/";
        std::ifstream in(dir + "stat");
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        if (close == std::string::npos) continue;  // gone since
        std::istringstream fields(text.substr(close + 1));
        std::string field;
        uint64_t flags = 0;
        for (int n = 3; n <= 9 && fields >> field; ++n)
            if (n == 9) flags = std::stoull(field);
        if (!(flags & 0x00200000)) continue;  // PF_KTHREAD
        SCOPED_TRACE(dir);
        if (::access((dir + "fd").c_str(), R_OK | X_OK) == 0)
            EXPECT_EQ(test::valueOf(*p, "HandleCount"), CimValue::uint(0));
        else
            EXPECT_TRUE(test::valueOf(*p, "HandleCount").isNull());
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no kernel threads are visible here";
}

}  // namespace
}  // namespace wbem
