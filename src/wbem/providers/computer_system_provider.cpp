// Win32_ComputerSystem: the machine itself.
#include <ctime>

#include "cim_datetime.h"
#include "cpu_info.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "net_info.h"
#include "parse_util.h"
#include "system_facts.h"
#include "system_providers.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Cpu = 1, Mem = 2, Dmi = 4, Dns = 8;
}

struct ComputerRecord {
    std::string name, dnsHostName, domain, machine;
    std::vector<CpuPackage> packages;
    size_t logical = 0;
    bool hypervisor = false;
    MemInfo mem;
    std::optional<std::string> vendor, product, family, sku, chassis;
};

ComputerRecord readComputer(uint32_t needs) {
    ComputerRecord r;
    r.name = computerName();
    r.dnsHostName = dnsHostName();
    r.machine = kernelInfo().machine;
    if (needs & part::Dns) {
        r.domain = hostDomainSuffix();
        if (r.domain.empty()) {
            if (auto text = readTextFile("/etc/resolv.conf", 65536))
                r.domain = parseResolvConf(*text).domain;
        }
    }
    if (needs & part::Cpu) {
        if (auto text = readTextFile("/proc/cpuinfo", 16 << 20)) {
            auto entries = parseCpuInfo(*text);
            r.logical = entries.size();
            r.hypervisor = !entries.empty() && entries[0].hasFlag("hypervisor");
            r.packages = groupPackages(entries);
        }
        if (!r.hypervisor) r.hypervisor = readSysValue("/sys/hypervisor/type").has_value();
    }
    if (needs & part::Mem) r.mem = readMemInfo();
    if (needs & part::Dmi) {
        r.vendor = dmiValue("sys_vendor");
        r.product = dmiValue("product_name");
        r.family = dmiValue("product_family");
        r.sku = dmiValue("product_sku");
        r.chassis = dmiValue("chassis_type");
    }
    return r;
}

// SMBIOS chassis types to WMI's PCSystemType.
std::optional<uint64_t> pcSystemType(const std::optional<std::string>& chassis) {
    if (!chassis) return std::nullopt;
    auto t = parseUInt(*chassis);
    if (!t) return std::nullopt;
    switch (*t) {
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 13:
        case 15:
        case 16:
        case 24:
        case 35:
            return 1;  // Desktop
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 14:
        case 30:
        case 31:
        case 32:
            return 2;  // Mobile
        case 17:
        case 23:
        case 28:
        case 29:
            return 4;  // Enterprise Server
        default:
            return 0;  // Unspecified
    }
}

std::string systemType(const std::string& machine) {
    if (machine == "x86_64") return "x64-based PC";
    if (machine == "aarch64" || machine == "arm64") return "ARM64-based PC";
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86")
        return "X86-based PC";
    return machine + "-based PC";
}

using R = ComputerRecord;

const Column<R> kColumns[] = {
    {"BootupState", 0, [](const R&) { return constText("Normal boot"); }},
    {"Caption", 0, [](const R& r) { return constText(r.name); }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"CurrentTimeZone", 0,
     [](const R&) { return CimValue::sint(utcOffsetMinutes(std::time(nullptr))); }},
    {"DaylightInEffect", 0,
     [](const R&) {
         time_t now = std::time(nullptr);
         struct tm local {};
         localtime_r(&now, &local);
         return CimValue::boolean(local.tm_isdst > 0);
     }},
    {"DNSHostName", 0, [](const R& r) { return textValue(r.dnsHostName); }},
    {"Domain", part::Dns,
     [](const R& r) { return r.domain.empty() ? constText("WORKGROUP") : textValue(r.domain); }},
    {"DomainRole", 0, [](const R&) { return CimValue::uint(0); }},  // standalone workstation
    {"HypervisorPresent", part::Cpu, [](const R& r) { return CimValue::boolean(r.hypervisor); }},
    {"Manufacturer", part::Dmi, [](const R& r) { return textValue(r.vendor); }},
    {"Model", part::Dmi, [](const R& r) { return textValue(r.product); }},
    {"Name", 0, [](const R& r) { return constText(r.name); }},
    {"NumberOfLogicalProcessors", part::Cpu,
     [](const R& r) { return r.logical ? CimValue::uint(r.logical) : CimValue(); }},
    {"NumberOfProcessors", part::Cpu,
     [](const R& r) {
         return r.packages.empty() ? CimValue() : CimValue::uint(r.packages.size());
     }},
    {"PartOfDomain", 0, [](const R&) { return CimValue::boolean(false); }},
    {"PCSystemType", part::Dmi, [](const R& r) { return uintValue(pcSystemType(r.chassis)); }},
    {"Status", 0, [](const R&) { return constText("OK"); }},
    {"SystemFamily", part::Dmi, [](const R& r) { return textValue(r.family); }},
    {"SystemSKUNumber", part::Dmi, [](const R& r) { return textValue(r.sku); }},
    {"SystemType", 0, [](const R& r) { return textValue(systemType(r.machine)); }},
    {"TotalPhysicalMemory", part::Mem,
     [](const R& r) {
         return r.mem.memTotal ? CimValue::uint(*r.mem.memTotal * 1024) : CimValue();
     }},
    {"Workgroup", 0, [](const R&) { return constText("WORKGROUP"); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeComputerSystemProvider(std::string) {
    return makeListProvider<ComputerRecord>(kColumns, [](uint32_t needs, const QueryHints& hints) {
        // Name is the key: a query for another name finds nothing.
        std::vector<ComputerRecord> out{readComputer(needs)};
        if (const std::string* name = keyText(hints, "Name"); name && !iequals(*name, out[0].name))
            out.clear();
        return out;
    });
}

}  // namespace wbem
