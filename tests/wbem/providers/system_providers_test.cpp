// Sanity of the machine-wide classes on the real machine.
#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "test_support.h"
#include "wbem/providers/cim_datetime.h"
#include "wbem/providers/host_info.h"

namespace wbem {
namespace {

std::map<std::string, uint64_t> meminfo() {
    std::map<std::string, uint64_t> out;
    std::ifstream f("/proc/meminfo");
    std::string key;
    uint64_t v;
    std::string unit;
    while (f >> key >> v) {
        out[key.substr(0, key.size() - 1)] = v;
        std::getline(f, unit);
    }
    return out;
}

std::string prettyName() {
    std::ifstream f("/etc/os-release");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            std::string v = line.substr(12);
            if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
            return v;
        }
    return {};
}

TEST(LiveOperatingSystemTest, OneInstanceWithTheMachinesFacts) {
    auto all = test::liveInstances("root\\cimv2", "Win32_OperatingSystem");
    ASSERT_EQ(all.size(), 1u);
    const Instance& os = *all[0];
    EXPECT_EQ(test::typeProblems(os), std::vector<std::string>{});
    EXPECT_EQ(relPathOf(os), "Win32_OperatingSystem=@");
    EXPECT_EQ(test::stringOf(os, "Caption"), prettyName());
    struct utsname u {};
    uname(&u);
    EXPECT_EQ(test::stringOf(os, "Version"), u.release);
    EXPECT_EQ(test::stringOf(os, "CSName"), computerName());
    EXPECT_EQ(test::uintOf(os, "OSType"), 36u);
    // This machine runs with a UTF-8 locale.
    EXPECT_EQ(test::stringOf(os, "CodeSet"), "65001");
    EXPECT_EQ(test::stringOf(os, "Locale").size(), 4u);

    auto mem = meminfo();
    const uint64_t total = test::uintOf(os, "TotalVisibleMemorySize");
    EXPECT_EQ(total, mem["MemTotal"]);
    const uint64_t free = test::uintOf(os, "FreePhysicalMemory");
    EXPECT_GT(free, 0u);
    EXPECT_LE(free, total);
    EXPECT_EQ(test::uintOf(os, "TotalVirtualMemorySize"), mem["MemTotal"] + mem["SwapTotal"]);
    EXPECT_LE(test::uintOf(os, "FreeVirtualMemory"), test::uintOf(os, "TotalVirtualMemorySize"));

    const std::string boot = test::stringOf(os, "LastBootUpTime");
    const std::string now = test::stringOf(os, "LocalDateTime");
    ASSERT_TRUE(test::isCimDateTime(boot));
    ASSERT_TRUE(test::isCimDateTime(now));
    EXPECT_LT(boot, now);
    const int64_t offset = test::valueOf(os, "CurrentTimeZone").asSInt();
    EXPECT_EQ(now.substr(21), cimDateTime(0, 0, static_cast<int>(offset)).substr(21));

    size_t procs = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc"))
        if (e.path().filename().string().find_first_not_of("0123456789") == std::string::npos)
            ++procs;
    EXPECT_NEAR(static_cast<double>(test::uintOf(os, "NumberOfProcesses")),
                static_cast<double>(procs), 5.0);
    EXPECT_EQ(test::stringOf(os, "OSArchitecture"), osArchitecture(u.machine));
}

TEST(LiveComputerSystemTest, OneInstanceNamedAfterTheHost) {
    auto all = test::liveInstances("root\\cimv2", "Win32_ComputerSystem");
    ASSERT_EQ(all.size(), 1u);
    const Instance& cs = *all[0];
    EXPECT_EQ(test::typeProblems(cs), std::vector<std::string>{});
    EXPECT_EQ(test::stringOf(cs, "Name"), computerName());
    EXPECT_EQ(relPathOf(cs), "Win32_ComputerSystem.Name=\"" + computerName() + "\"");
    EXPECT_EQ(test::uintOf(cs, "NumberOfLogicalProcessors"),
              static_cast<uint64_t>(sysconf(_SC_NPROCESSORS_CONF)));
    EXPECT_GE(test::uintOf(cs, "NumberOfProcessors"), 1u);
    EXPECT_LE(test::uintOf(cs, "NumberOfProcessors"),
              test::uintOf(cs, "NumberOfLogicalProcessors"));
    EXPECT_EQ(test::uintOf(cs, "TotalPhysicalMemory"), meminfo()["MemTotal"] * 1024);
    // A key condition naming another computer finds nothing.
    QueryHints other;
    other.equals.emplace_back("Name", CimValue::string("NOT-" + computerName()));
    EXPECT_TRUE(test::liveInstances("root\\cimv2", "Win32_ComputerSystem", other).empty());
}

TEST(LiveProcessorTest, PackagesAddUpToTheLogicalProcessors) {
    auto all = test::liveInstances("root\\cimv2", "Win32_Processor");
    ASSERT_GE(all.size(), 1u);
    uint64_t logical = 0;
    std::set<std::string> ids;
    for (const auto& p : all) {
        EXPECT_EQ(test::typeProblems(*p), std::vector<std::string>{});
        ids.insert(test::stringOf(*p, "DeviceID"));
        const uint64_t cores = test::uintOf(*p, "NumberOfCores");
        const uint64_t threads = test::uintOf(*p, "NumberOfLogicalProcessors");
        EXPECT_GE(cores, 1u);
        EXPECT_LE(cores, threads);
        logical += threads;
        EXPECT_FALSE(test::stringOf(*p, "Name").empty());
        EXPECT_GT(test::uintOf(*p, "CurrentClockSpeed"), 0u);
        EXPECT_LE(test::uintOf(*p, "CurrentClockSpeed"), 20000u);
    }
    EXPECT_EQ(logical, static_cast<uint64_t>(sysconf(_SC_NPROCESSORS_CONF)));
    EXPECT_EQ(ids.size(), all.size());
    EXPECT_EQ(ids.count("CPU0"), 1u);
}

}  // namespace
}  // namespace wbem
