// One sanity test per class on the real machine: every value has its
// declared type, and the figures agree with what the system says directly.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "test_support.h"
#include "wbem/providers/account_providers.h"
#include "wbem/providers/host_info.h"
#include "wbem/providers/thermal_provider.h"
#include "wbem/repository/instance_source.h"
#include "wbem/repository/object_path.h"

namespace wbem {
namespace {

namespace fs = std::filesystem;
using Instances = std::vector<std::shared_ptr<const Instance>>;

Instances live(const char* cls, const QueryHints& hints = {}) {
    auto all = test::liveInstances("root\\cimv2", cls, hints);
    for (const auto& i : all) EXPECT_EQ(test::typeProblems(*i), std::vector<std::string>{}) << cls;
    return all;
}

size_t lines(const char* path, bool skipComments = true) {
    std::ifstream f(path);
    std::string line;
    size_t n = 0;
    while (std::getline(f, line))
        if (!line.empty() && !(skipComments && line[0] == '#')) ++n;
    return n;
}

TEST(LiveLogicalDiskTest, SizesAgreeWithStatvfs) {
    auto disks = live("Win32_LogicalDisk");
    ASSERT_FALSE(disks.empty());
    bool sawRoot = false;
    for (const auto& d : disks) {
        const std::string id = test::stringOf(*d, "DeviceID");
        EXPECT_EQ(relPathOf(*d), "Win32_LogicalDisk.DeviceID=" + pathValue(id, true));
        sawRoot = sawRoot || id == "/";
        struct statvfs s {};
        ASSERT_EQ(statvfs(id.c_str(), &s), 0) << id;
        const uint64_t unit = s.f_frsize ? s.f_frsize : s.f_bsize;
        EXPECT_EQ(test::uintOf(*d, "Size"), uint64_t{s.f_blocks} * unit) << id;
        const double free = static_cast<double>(test::uintOf(*d, "FreeSpace"));
        const double expected = static_cast<double>(uint64_t{s.f_bavail} * unit);
        EXPECT_NEAR(free, expected, expected * 0.02 + 64.0 * 1024 * 1024) << id;
        EXPECT_EQ(test::stringOf(*d, "Status"), "OK");
        const uint64_t type = test::uintOf(*d, "DriveType");
        EXPECT_TRUE(type >= 2 && type <= 6) << type;
    }
    EXPECT_TRUE(sawRoot);
    QueryHints only;
    only.equals.emplace_back("DeviceID", CimValue::string("/"));
    auto root = live("Win32_LogicalDisk", only);
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(test::stringOf(*root[0], "DeviceID"), "/");
}

TEST(LiveVolumeTest, BlockDeviceFileSystems) {
    for (const auto& v : live("Win32_Volume")) {
        const std::string dev = test::stringOf(*v, "DeviceID");
        EXPECT_EQ(dev.rfind("/dev/", 0), 0u) << dev;
        EXPECT_GT(test::uintOf(*v, "Capacity"), 0u);
        EXPECT_LE(test::uintOf(*v, "FreeSpace"), test::uintOf(*v, "Capacity"));
        EXPECT_TRUE(fs::exists(test::stringOf(*v, "Name")));
    }
}

TEST(LiveDiskDriveTest, DrivesMatchSysBlock) {
    for (const auto& d : live("Win32_DiskDrive")) {
        const std::string dev = test::stringOf(*d, "DeviceID");
        ASSERT_EQ(dev.rfind("/dev/", 0), 0u);
        const std::string name = dev.substr(5);
        std::ifstream sizeFile("/sys/block/" + name + "/size");
        uint64_t sectors = 0;
        ASSERT_TRUE(sizeFile >> sectors) << name;
        EXPECT_EQ(test::uintOf(*d, "Size"), sectors * 512);
        EXPECT_GE(test::uintOf(*d, "BytesPerSector"), 512u);
    }
}

TEST(LiveNetworkTest, AdaptersConfigurationsAndTheirLinks) {
    auto adapters = live("Win32_NetworkAdapter");
    size_t interfaces = 0;
    for (const auto& e : fs::directory_iterator("/sys/class/net")) (void)e, ++interfaces;
    EXPECT_EQ(adapters.size(), interfaces);
    auto configs = live("Win32_NetworkAdapterConfiguration");
    EXPECT_EQ(configs.size(), adapters.size());
    bool sawLoopback = false;
    for (const auto& c : configs) {
        if (test::stringOf(*c, "SettingID") != "lo") continue;
        sawLoopback = true;
        const CimValue& ips = test::valueOf(*c, "IPAddress");
        ASSERT_EQ(ips.kind(), CimValue::Kind::Array);
        EXPECT_EQ(ips.asArray()[0].asString(), "127.0.0.1");
        EXPECT_EQ(test::valueOf(*c, "IPSubnet").asArray()[0].asString(), "255.0.0.0");
        EXPECT_TRUE(test::valueOf(*c, "IPEnabled").asBool());
    }
    EXPECT_TRUE(sawLoopback);
    auto links = live("Win32_NetworkAdapterSetting");
    EXPECT_EQ(links.size(), adapters.size());
    for (const auto& l : links) {
        auto element = parseObjectPath(test::stringOf(*l, "Element"));
        auto setting = parseObjectPath(test::stringOf(*l, "Setting"));
        EXPECT_EQ(element.className, "Win32_NetworkAdapter");
        EXPECT_EQ(setting.className, "Win32_NetworkAdapterConfiguration");
        EXPECT_EQ(element.keys[0].value, setting.keys[0].value);
    }
}

TEST(LiveAccountsTest, UsersGroupsAndMemberships) {
    auto users = live("Win32_UserAccount");
    EXPECT_EQ(users.size(), lines("/etc/passwd"));
    auto groups = live("Win32_Group");
    EXPECT_EQ(groups.size(), lines("/etc/group"));
    const std::string domain = computerName();
    bool sawRoot = false;
    for (const auto& u : users) {
        if (test::stringOf(*u, "Name") != "root") continue;
        sawRoot = true;
        EXPECT_EQ(test::stringOf(*u, "SID"), "S-1-22-1-0");
        EXPECT_EQ(test::stringOf(*u, "Domain"), domain);
        EXPECT_EQ(relPathOf(*u), "Win32_UserAccount.Domain=\"" + domain + "\",Name=\"root\"");
    }
    EXPECT_TRUE(sawRoot);
    // root's primary group is root: the association says so.
    const std::string group =
        "\\\\" + domain + "\\root\\cimv2:Win32_Group.Domain=\"" + domain + "\",Name=\"root\"";
    const std::string user =
        "\\\\" + domain + "\\root\\cimv2:Win32_UserAccount.Domain=\"" + domain + "\",Name=\"root\"";
    bool linked = false;
    for (const auto& m : live("Win32_GroupUser")) {
        EXPECT_NO_THROW(parseObjectPath(test::stringOf(*m, "PartComponent")));
        linked = linked || (test::stringOf(*m, "GroupComponent") == group &&
                            test::stringOf(*m, "PartComponent") == user);
    }
    EXPECT_TRUE(linked);
    EXPECT_EQ(live("Win32_SystemUsers").size(), users.size());
}

TEST(LiveEnvironmentTest, NeverShowsThisProcesssOwnEnvironment) {
    // A shell's environment may hold tokens; what is configured is served.
    ::setenv("CIMSCOPE_TEST_SECRET", "do-not-publish", 1);
    for (const auto& v : live("Win32_Environment")) {
        EXPECT_NE(test::stringOf(*v, "Name"), "CIMSCOPE_TEST_SECRET");
        EXPECT_NE(test::stringOf(*v, "VariableValue"), "do-not-publish");
    }
    ::unsetenv("CIMSCOPE_TEST_SECRET");
    const auto configured = configuredEnvironment("", computerName());
    EXPECT_EQ(live("Win32_Environment").size(), configured.size());
}

TEST(LiveThreadTest, OwnThreadsAreListedUnderTheProcess) {
    const test::IdleThread worker;
    const std::string tid = std::to_string(worker.tid());
    const std::string pid = std::to_string(getpid());
    QueryHints mine;
    mine.equals.emplace_back("ProcessHandle", CimValue::string(pid));
    auto threads = live("Win32_Thread", mine);
    size_t tasks = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/task")) (void)e, ++tasks;
    EXPECT_EQ(threads.size(), tasks);
    std::set<std::string> handles;
    for (const auto& t : threads) {
        EXPECT_EQ(test::stringOf(*t, "ProcessHandle"), pid);
        handles.insert(test::stringOf(*t, "Handle"));
    }
    EXPECT_EQ(handles.count(tid), 1u);
    EXPECT_EQ(handles.count(pid), 1u);
    // The thread key alone finds its process.
    QueryHints one;
    one.equals.emplace_back("Handle", CimValue::string(tid));
    auto found = live("Win32_Thread", one);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(test::stringOf(*found[0], "ProcessHandle"), pid);
    EXPECT_EQ(relPathOf(*found[0]),
              "Win32_Thread.Handle=\"" + tid + "\",ProcessHandle=\"" + pid + "\"");
    // Across the machine there are at least as many threads as processes.
    EXPECT_GE(live("Win32_Thread").size(), live("Win32_Process").size());
}

TEST(LiveServiceTest, SystemdServicesOrNone) {
    auto services = live("Win32_Service");
    if (!fs::is_directory("/run/systemd/system")) {
        EXPECT_TRUE(services.empty());
        return;
    }
    EXPECT_FALSE(services.empty());
    for (const auto& s : services) {
        const std::string state = test::stringOf(*s, "State");
        EXPECT_TRUE(state == "Running" || state == "Stopped" || state == "Start Pending" ||
                    state == "Stop Pending" || state == "Unknown")
            << state;
    }
}

TEST(LiveSystemDriverTest, OnePerLoadedModule) {
    auto drivers = live("Win32_SystemDriver");
    EXPECT_EQ(drivers.size(), fs::exists("/proc/modules") ? lines("/proc/modules", false) : 0u);
}

TEST(LiveBiosTest, PresentExactlyWhenTheFirmwareTellsItsVersion) {
    auto bios = live("Win32_BIOS");
    std::ifstream version("/sys/class/dmi/id/bios_version");
    std::string v;
    const bool known = static_cast<bool>(std::getline(version, v)) && !v.empty();
    EXPECT_EQ(bios.size(), known ? 1u : 0u);
}

TEST(LiveAssociationTest, SystemLinksPointAtRealObjects) {
    auto processes = live("Win32_SystemProcesses");
    const double procs = static_cast<double>(live("Win32_Process").size());
    EXPECT_NEAR(static_cast<double>(processes.size()), procs, 5.0);
    for (const auto& p : processes) {
        auto part = parseObjectPath(test::stringOf(*p, "PartComponent"));
        EXPECT_EQ(part.className, "Win32_Process");
        EXPECT_EQ(part.server, computerName());
        EXPECT_EQ(part.nspace, "root\\cimv2");
    }
    EXPECT_EQ(live("Win32_SystemOperatingSystem").size(), 1u);
    EXPECT_EQ(live("Win32_ComputerSystemProcessor").size(), live("Win32_Processor").size());
    EXPECT_GE(live("CIM_ProcessThread").size(), processes.size() - 5);
}

TEST(DeclaredOnlyClassesTest, EnumerateEmpty) {
    auto state = test::schema().snapshot();
    const NamespaceState* ns = state->find("root\\cimv2");
    ASSERT_TRUE(ns);
    for (const char* cls : {"Win32_Printer", "Win32_QuickFixEngineering", "Win32_Product",
                            "Win32_Share", "Win32_StartupCommand"}) {
        ASSERT_TRUE(ns->findClass(cls)) << cls;
        auto cursor = openInstances(state, *ns, cls);
        EXPECT_EQ(cursor->next(), nullptr) << cls;
    }
}

TEST(ThermalZoneTest, ReadsZonesFromASysTree) {
    test::TempTree tree;
    tree.write("thermal_zone0/type", "x86_pkg_temp\n");
    tree.write("thermal_zone0/temp", "45000\n");
    tree.write("thermal_zone0/trip_point_0_type", "critical\n");
    tree.write("thermal_zone0/trip_point_0_temp", "100000\n");
    tree.write("thermal_zone0/trip_point_1_type", "active\n");
    tree.write("thermal_zone0/trip_point_1_temp", "60000\n");
    tree.write("thermal_zone1/type", "broken\n");  // no temperature: not listed
    tree.write("cooling_device0/type", "fan\n");
    auto cls = test::schemaClass("root\\WMI", "MSAcpi_ThermalZoneTemperature");
    ASSERT_TRUE(cls);
    auto cursor = makeThermalZoneProvider("root\\WMI", tree.root())->open(cls, {});
    auto zones = test::drain(*cursor);
    ASSERT_EQ(zones.size(), 1u);
    EXPECT_EQ(test::typeProblems(*zones[0]), std::vector<std::string>{});
    EXPECT_EQ(test::stringOf(*zones[0], "InstanceName"), "thermal_zone0_x86_pkg_temp");
    EXPECT_EQ(test::uintOf(*zones[0], "CurrentTemperature"), 3182u);
    EXPECT_EQ(test::uintOf(*zones[0], "CriticalTripPoint"), 3732u);
    EXPECT_EQ(test::uintOf(*zones[0], "ActiveTripPointCount"), 1u);
    // The live machine: one instance per zone that reports a temperature.
    EXPECT_TRUE(test::localProvider("root\\WMI", "MSAcpi_ThermalZoneTemperature"));
}

}  // namespace
}  // namespace wbem
