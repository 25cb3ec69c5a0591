// The shape of the compiled-in root\cimv2: WMI's class names, ancestry,
// keys and method signatures.
#include <gtest/gtest.h>

#include "test_support.h"

namespace wbem {
namespace {

std::vector<std::string> names(const std::vector<std::string>& v) { return v; }

TEST(SchemaTest, HasTheCimAncestryInWmisShape) {
    const char* required[] = {"CIM_ManagedSystemElement",
                              "CIM_LogicalElement",
                              "CIM_LogicalDevice",
                              "CIM_Process",
                              "CIM_Thread",
                              "CIM_OperatingSystem",
                              "CIM_System",
                              "CIM_ComputerSystem",
                              "CIM_UnitaryComputerSystem",
                              "CIM_Processor",
                              "CIM_StorageExtent",
                              "CIM_LogicalDisk",
                              "CIM_StorageVolume",
                              "CIM_MediaAccessDevice",
                              "CIM_DiskDrive",
                              "CIM_NetworkAdapter",
                              "CIM_Service",
                              "CIM_SystemResource",
                              "CIM_SoftwareElement",
                              "CIM_BIOSElement",
                              "CIM_PhysicalElement",
                              "CIM_PhysicalComponent",
                              "CIM_Chip",
                              "CIM_PhysicalMemory",
                              "CIM_Setting",
                              "Win32_Account",
                              "Win32_BaseService"};
    for (const char* c : required) EXPECT_TRUE(test::cimv2Class(c)) << c;
    EXPECT_TRUE(test::cimv2Class("CIM_ManagedSystemElement")->superclass.empty());
    EXPECT_TRUE(test::cimv2Class("CIM_Setting")->superclass.empty());
    EXPECT_EQ(test::cimv2Class("Win32_Process")->derivation,
              names({"CIM_Process", "CIM_LogicalElement", "CIM_ManagedSystemElement"}));
    EXPECT_EQ(test::cimv2Class("Win32_NetworkAdapterConfiguration")->derivation,
              names({"CIM_Setting"}));
    EXPECT_TRUE(test::cimv2Class("Win32_OperatingSystem")->singleton);
    EXPECT_TRUE(test::cimv2Class("Win32_GroupUser")->association);
}

TEST(SchemaTest, KeysAreThoseOfWmisPaths) {
    struct Case {
        const char* cls;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"Win32_Process", {"Handle"}},
        {"Win32_Thread", {"Handle", "ProcessHandle"}},
        {"Win32_ComputerSystem", {"Name"}},
        {"Win32_LogicalDisk", {"DeviceID"}},
        {"Win32_UserAccount", {"Domain", "Name"}},
        {"Win32_Environment", {"Name", "UserName"}},
        {"Win32_NetworkAdapterConfiguration", {"Index"}},
        {"Win32_Service", {"Name"}},
        {"Win32_GroupUser", {"GroupComponent", "PartComponent"}},
    };
    for (const Case& c : cases) {
        auto cls = test::cimv2Class(c.cls);
        ASSERT_TRUE(cls) << c.cls;
        std::vector<std::string> keys;
        for (int slot : cls->keys) keys.push_back(cls->properties[static_cast<size_t>(slot)].name);
        EXPECT_EQ(keys, c.keys) << c.cls;
    }
}

TEST(SchemaTest, MethodsCarryTheirParameters) {
    auto process = test::cimv2Class("Win32_Process");
    for (const char* m : {"Create", "Terminate", "GetOwner", "GetOwnerSid", "SetPriority",
                          "AttachDebugger", "GetAvailableVirtualSize"})
        EXPECT_TRUE(process->findMethod(m)) << m;
    const MethodDef* create = process->findMethod("Create");
    std::vector<std::string> in, out;
    for (const auto& p : create->parameters) (p.in ? in : out).push_back(p.name);
    EXPECT_EQ(in, names({"CommandLine", "CurrentDirectory", "ProcessStartupInformation"}));
    EXPECT_EQ(out, names({"ProcessId"}));
    const MethodDef* owner = process->findMethod("GetOwner");
    ASSERT_EQ(owner->parameters.size(), 2u);
    EXPECT_TRUE(owner->parameters[0].out);
    auto os = test::cimv2Class("Win32_OperatingSystem");
    for (const char* m : {"Reboot", "Shutdown", "Win32Shutdown", "SetDateTime"})
        EXPECT_TRUE(os->findMethod(m)) << m;
    EXPECT_EQ(os->property("TotalVisibleMemorySize")->type.type, CimType::UInt64);
    EXPECT_EQ(os->property("CurrentTimeZone")->type.type, CimType::SInt16);
    EXPECT_TRUE(
        test::cimv2Class("Win32_NetworkAdapterConfiguration")->property("IPAddress")->type.isArray);
}

TEST(SchemaTest, EveryLiveClassHasAProvider) {
    for (const char* c :
         {"Win32_Process", "Win32_Thread", "Win32_OperatingSystem", "Win32_ComputerSystem",
          "Win32_Processor", "Win32_LogicalDisk", "Win32_Volume", "Win32_DiskDrive",
          "Win32_NetworkAdapter", "Win32_NetworkAdapterConfiguration", "Win32_Environment",
          "Win32_UserAccount", "Win32_Group", "Win32_GroupUser", "Win32_Service", "Win32_BIOS",
          "Win32_SystemProcesses"})
        EXPECT_TRUE(test::localProvider("root\\cimv2", c)) << c;
}

}  // namespace
}  // namespace wbem
