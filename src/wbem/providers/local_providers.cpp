#include "local_providers.h"

#include <functional>

#include "account_providers.h"
#include "association_providers.h"
#include "network_providers.h"
#include "process_methods.h"
#include "process_provider.h"
#include "service_methods.h"
#include "service_providers.h"
#include "storage_providers.h"
#include "system_providers.h"
#include "thermal_provider.h"

namespace wbem {

namespace {

using Factory = std::function<std::shared_ptr<const InstanceProvider>(std::string nspace)>;

struct Registration {
    const char* nspace;
    const char* className;
    Factory make;
};

std::vector<Registration> registrations() {
    const char* cimv2 = "root\\cimv2";
    const char* wmi = "root\\WMI";
    return {
        {cimv2, "Win32_Process", [](std::string ns) { return makeProcessProvider(std::move(ns)); }},
        {cimv2, "Win32_Thread", [](std::string ns) { return makeThreadProvider(std::move(ns)); }},
        {cimv2, "Win32_OperatingSystem", makeOperatingSystemProvider},
        {cimv2, "Win32_ComputerSystem", makeComputerSystemProvider},
        {cimv2, "Win32_Processor", makeProcessorProvider},
        {cimv2, "Win32_BIOS", makeBiosProvider},
        {cimv2, "Win32_LogicalDisk", makeLogicalDiskProvider},
        {cimv2, "Win32_Volume", makeVolumeProvider},
        {cimv2, "Win32_DiskDrive", makeDiskDriveProvider},
        {cimv2, "Win32_NetworkAdapter", makeNetworkAdapterProvider},
        {cimv2, "Win32_NetworkAdapterConfiguration", makeNetworkConfigurationProvider},
        {cimv2, "Win32_NetworkAdapterSetting", makeNetworkAdapterSettingProvider},
        {cimv2, "Win32_UserAccount", makeUserAccountProvider},
        {cimv2, "Win32_Group", makeGroupProvider},
        {cimv2, "Win32_GroupUser", makeGroupUserProvider},
        {cimv2, "Win32_Environment", makeEnvironmentProvider},
        {cimv2, "Win32_Service", makeServiceProvider},
        {cimv2, "Win32_SystemDriver", makeSystemDriverProvider},
        {cimv2, "Win32_SystemProcesses",
         [](std::string ns) { return makeSystemProcessesProvider(std::move(ns)); }},
        {cimv2, "CIM_ProcessThread",
         [](std::string ns) { return makeProcessThreadProvider(std::move(ns)); }},
        {cimv2, "Win32_SystemOperatingSystem", makeSystemOperatingSystemProvider},
        {cimv2, "Win32_ComputerSystemProcessor", makeComputerSystemProcessorProvider},
        {cimv2, "Win32_SystemUsers", makeSystemUsersProvider},
        {cimv2, "Win32_SystemServices", makeSystemServicesProvider},
        {wmi, "MSAcpi_ThermalZoneTemperature",
         [](std::string ns) { return makeThermalZoneProvider(std::move(ns)); }},
    };
}

}  // namespace

void installLocalProviders(Repository::Transaction& tx) {
    for (const Registration& r : registrations()) {
        if (!tx.hasNamespace(r.nspace)) continue;
        NamespaceState& ns = tx.ns(r.nspace, false);
        if (!ns.findClass(r.className)) continue;
        tx.setProvider(r.nspace, r.className, r.make(ns.path));
    }
    const char* cimv2 = "root\\cimv2";
    if (!tx.hasNamespace(cimv2)) return;
    if (tx.ns(cimv2, false).findClass("Win32_Process"))
        tx.setMethodProvider(cimv2, "Win32_Process", makeProcessMethods());
    if (tx.ns(cimv2, false).findClass("Win32_Service"))
        tx.setMethodProvider(cimv2, "Win32_Service", makeServiceMethods());
}

}  // namespace wbem
