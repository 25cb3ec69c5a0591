// Win32_OperatingSystem: the one running system (a singleton, as in WMI).
#include <sys/time.h>

#include <ctime>
#include <map>

#include "cim_datetime.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "locale_info.h"
#include "mounts.h"
#include "parse_util.h"
#include "system_facts.h"
#include "system_providers.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Mem = 1, Procs = 2, Users = 4, Boot = 8, Locale = 16, Install = 32,
                          Root = 64, Release = 128;
}

struct OsRecord {
    std::string computerName;
    std::map<std::string, std::string> release;
    KernelInfo kernel;
    MemInfo mem;
    std::optional<uint64_t> processes;
    std::optional<uint64_t> users;
    std::optional<int64_t> bootTime, installTime;
    std::string localeName;
    std::string rootDevice;
    std::optional<uint64_t> pidMax;

    std::string caption() const {
        for (const char* key : {"PRETTY_NAME", "NAME"}) {
            auto it = release.find(key);
            if (it != release.end() && !it->second.empty()) return it->second;
        }
        return "Linux";
    }
    std::optional<std::string> releaseValue(const char* key) const {
        auto it = release.find(key);
        if (it == release.end() || it->second.empty()) return std::nullopt;
        return it->second;
    }
};

OsRecord readOs(uint32_t needs) {
    OsRecord r;
    r.computerName = computerName();
    r.kernel = kernelInfo();
    if (needs & part::Release) r.release = readOsRelease();
    if (needs & part::Mem) r.mem = readMemInfo();
    if (needs & part::Procs) r.processes = countProcesses();
    if (needs & part::Users) r.users = loggedOnUsers().size();
    if (needs & part::Boot) r.bootTime = readBootTime();
    if (needs & part::Install) r.installTime = rootBirthTime();
    if (needs & part::Locale) r.localeName = machineLocaleName();
    if (needs & part::Root) {
        if (auto text = readTextFile("/proc/self/mountinfo")) {
            for (const MountEntry& m : parseMountInfo(*text))
                if (m.mountPoint == "/") r.rootDevice = m.source;
        }
        if (auto v = readSysValue("/proc/sys/kernel/pid_max"); v) {
            if (auto n = parseUInt(*v)) r.pidMax = *n;
        }
    }
    return r;
}

std::optional<uint64_t> sum(std::optional<uint64_t> a, std::optional<uint64_t> b) {
    if (!a || !b) return std::nullopt;
    return *a + *b;
}

std::optional<uint64_t> available(const MemInfo& m) {
    return m.memAvailable ? m.memAvailable : m.memFree;
}

CimValue dateValue(const std::optional<int64_t>& t) {
    return t ? CimValue::string(cimDateTime(*t, 0)) : CimValue();
}

using R = OsRecord;

const Column<R> kColumns[] = {
    {"BootDevice", part::Root, [](const R& r) { return textValue(r.rootDevice); }},
    {"BuildNumber", 0, [](const R& r) { return textValue(r.kernel.version); }},
    {"Caption", part::Release, [](const R& r) { return textValue(r.caption()); }},
    {"CodeSet", part::Locale,
     [](const R& r) {
         auto page = windowsCodePage(localeCodeset(r.localeName));
         return page ? CimValue::string(std::to_string(*page)) : CimValue();
     }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_OperatingSystem"); }},
    {"CSCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"CSName", 0, [](const R& r) { return constText(r.computerName); }},
    {"CurrentTimeZone", 0,
     [](const R&) { return CimValue::sint(utcOffsetMinutes(std::time(nullptr))); }},
    {"Distributed", 0, [](const R&) { return CimValue::boolean(false); }},
    {"FreePhysicalMemory", part::Mem, [](const R& r) { return uintValue(available(r.mem)); }},
    {"FreeSpaceInPagingFiles", part::Mem, [](const R& r) { return uintValue(r.mem.swapFree); }},
    {"FreeVirtualMemory", part::Mem,
     [](const R& r) { return uintValue(sum(available(r.mem), r.mem.swapFree)); }},
    {"InstallDate", part::Install, [](const R& r) { return dateValue(r.installTime); }},
    {"LastBootUpTime", part::Boot, [](const R& r) { return dateValue(r.bootTime); }},
    {"LocalDateTime", 0, [](const R&) { return CimValue::string(cimDateTimeNow()); }},
    {"Locale", part::Locale,
     [](const R& r) {
         auto lcid = localeLcid(r.localeName);
         if (!lcid) return CimValue();
         char buf[16];
         std::snprintf(buf, sizeof buf, "%04x", *lcid);
         return CimValue::string(buf);
     }},
    {"Manufacturer", part::Release,
     [](const R& r) { return textValue(r.releaseValue("VENDOR_NAME")); }},
    {"MaxNumberOfProcesses", part::Root, [](const R& r) { return uint32Value(r.pidMax); }},
    {"MUILanguages", part::Locale,
     [](const R& r) { return stringArray({localeLanguageTag(r.localeName)}); }},
    {"Name", part::Release | part::Root,
     [](const R& r) { return textValue(r.caption() + "|/|" + r.rootDevice); }},
    {"NumberOfProcesses", part::Procs, [](const R& r) { return uint32Value(r.processes); }},
    {"NumberOfUsers", part::Users, [](const R& r) { return uint32Value(r.users); }},
    {"OSArchitecture", 0, [](const R& r) { return constText(osArchitecture(r.kernel.machine)); }},
    {"OSLanguage", part::Locale,
     [](const R& r) {
         auto lcid = localeLcid(r.localeName);
         return lcid ? CimValue::uint(*lcid) : CimValue();
     }},
    {"OSType", 0, [](const R&) { return CimValue::uint(36); }},  // LINUX
    {"PortableOperatingSystem", 0, [](const R&) { return CimValue::boolean(false); }},
    {"Primary", 0, [](const R&) { return CimValue::boolean(true); }},
    {"SerialNumber", 0, [](const R&) { return textValue(readSysValue("/etc/machine-id")); }},
    {"SizeStoredInPagingFiles", part::Mem, [](const R& r) { return uintValue(r.mem.swapTotal); }},
    {"Status", 0, [](const R&) { return constText("OK"); }},
    {"SystemDevice", part::Root, [](const R& r) { return textValue(r.rootDevice); }},
    {"SystemDrive", 0, [](const R&) { return constText("/"); }},
    {"TotalSwapSpaceSize", part::Mem, [](const R& r) { return uintValue(r.mem.swapTotal); }},
    {"TotalVirtualMemorySize", part::Mem,
     [](const R& r) { return uintValue(sum(r.mem.memTotal, r.mem.swapTotal)); }},
    {"TotalVisibleMemorySize", part::Mem, [](const R& r) { return uintValue(r.mem.memTotal); }},
    {"Version", 0, [](const R& r) { return textValue(r.kernel.release); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeOperatingSystemProvider(std::string) {
    return makeListProvider<OsRecord>(
        kColumns, [](uint32_t needs, const QueryHints&) { return std::vector{readOs(needs)}; });
}

}  // namespace wbem
