// Win32_Processor: one instance per physical package, as WMI lists sockets.
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cmath>
#include <filesystem>
#include <set>

#include "cpu_info.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "parse_util.h"
#include "system_providers.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Cache = 1, Freq = 2;
}

struct ProcessorRecord {
    CpuPackage package;
    std::string deviceId;  // "CPU0", "CPU1", ... in package order
    std::string machine, systemName;
    std::optional<uint64_t> l2Kb, l3Kb;
    std::optional<uint64_t> maxMhz;
    std::optional<std::string> processorId;

    const CpuInfoEntry& first() const { return package.logical.front(); }
};

// Caches of a package's processors, each counted once (shared caches list
// the same processors).
void readCaches(ProcessorRecord& r) {
    std::set<std::string> seen;
    uint64_t l2 = 0, l3 = 0;
    for (const CpuInfoEntry& e : r.package.logical) {
        const std::string base =
            "/sys/devices/system/cpu/cpu" + std::to_string(e.processor) + "/cache/";
        for (int i = 0; i < 16; ++i) {
            const std::string dir = base + "index" + std::to_string(i) + "/";
            auto level = readSysValue(dir + "level");
            if (!level) break;
            auto type = readSysValue(dir + "type").value_or("");
            if (type == "Instruction") continue;
            auto shared =
                readSysValue(dir + "shared_cpu_list").value_or(std::to_string(e.processor));
            if (!seen.insert(*level + "/" + type + "/" + shared).second) continue;
            auto size = parseCacheSizeKb(readSysValue(dir + "size").value_or(""));
            if (!size) continue;
            if (*level == "2") l2 += *size;
            if (*level == "3") l3 += *size;
        }
    }
    if (l2) r.l2Kb = l2;
    if (l3) r.l3Kb = l3;
}

std::optional<std::string> cpuidProcessorId() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return std::nullopt;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%08X%08X", d, a);
    return std::string(buf);
#else
    return std::nullopt;
#endif
}

std::vector<ProcessorRecord> readProcessors(uint32_t needs, const QueryHints& hints) {
    std::vector<ProcessorRecord> out;
    auto text = readTextFile("/proc/cpuinfo", 16 << 20);
    if (!text) return out;
    const std::string machine = kernelInfo().machine;
    const std::string system = computerName();
    const auto id = cpuidProcessorId();
    const std::string* only = keyText(hints, "DeviceID");
    int n = 0;
    for (CpuPackage& p : groupPackages(parseCpuInfo(*text))) {
        const std::string deviceId = "CPU" + std::to_string(n++);
        if (only && !iequals(*only, deviceId)) continue;
        ProcessorRecord r;
        r.package = std::move(p);
        r.deviceId = deviceId;
        r.machine = machine;
        r.systemName = system;
        r.processorId = id;
        if (needs & part::Cache) readCaches(r);
        if (needs & part::Freq) {
            const std::string f = "/sys/devices/system/cpu/cpu" +
                                  std::to_string(r.first().processor) + "/cpufreq/cpuinfo_max_freq";
            if (auto v = readSysValue(f)) {
                if (auto khz = parseUInt(*v)) r.maxMhz = *khz / 1000;
            }
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<uint64_t> currentMhz(const ProcessorRecord& r) {
    if (!r.first().mhz) return std::nullopt;
    return static_cast<uint64_t>(std::lround(*r.first().mhz));
}

// "Intel64 Family 6 Model 207 Stepping 2", as WMI captions x86 processors.
std::optional<std::string> caption(const ProcessorRecord& r) {
    const CpuInfoEntry& e = r.first();
    if (!e.family || !e.model || !e.stepping) return std::nullopt;
    std::string arch =
        r.machine == "x86_64" ? (e.vendor == "AuthenticAMD" ? "AMD64" : "Intel64") : "x86";
    return arch + " Family " + std::to_string(*e.family) + " Model " + std::to_string(*e.model) +
           " Stepping " + std::to_string(*e.stepping);
}

std::optional<uint64_t> architecture(const std::string& machine) {
    if (machine == "x86_64") return 9;
    if (machine == "aarch64" || machine == "arm64") return 12;
    if (machine.starts_with("arm")) return 5;
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return 0;
    if (machine.starts_with("ppc")) return 3;
    if (machine.starts_with("mips")) return 1;
    return std::nullopt;
}

std::optional<uint64_t> widthBits(const std::string& machine) {
    return osArchitecture(machine).find("64") != std::string::npos ? 64 : 32;
}

using R = ProcessorRecord;

const Column<R> kColumns[] = {
    {"AddressWidth", 0, [](const R& r) { return uintValue(widthBits(r.machine)); }},
    {"Architecture", 0, [](const R& r) { return uintValue(architecture(r.machine)); }},
    {"Availability", 0, [](const R&) { return CimValue::uint(3); }},  // running
    {"Caption", 0, [](const R& r) { return textValue(caption(r)); }},
    {"CpuStatus", 0, [](const R&) { return CimValue::uint(1); }},  // enabled
    {"CreationClassName", 0, [](const R&) { return constText("Win32_Processor"); }},
    {"CurrentClockSpeed", 0, [](const R& r) { return uint32Value(currentMhz(r)); }},
    {"DataWidth", 0, [](const R& r) { return uintValue(widthBits(r.machine)); }},
    {"Description", 0, [](const R& r) { return textValue(caption(r)); }},
    {"DeviceID", 0, [](const R& r) { return constText(r.deviceId); }},
    {"L2CacheSize", part::Cache, [](const R& r) { return uint32Value(r.l2Kb); }},
    {"L3CacheSize", part::Cache, [](const R& r) { return uint32Value(r.l3Kb); }},
    {"Level", 0,
     [](const R& r) {
         return r.first().family ? CimValue::uint(static_cast<uint64_t>(*r.first().family))
                                 : CimValue();
     }},
    {"Manufacturer", 0,
     [](const R& r) {
         return r.first().vendor.empty() ? CimValue() : textValue(r.first().vendor);
     }},
    {"MaxClockSpeed", part::Freq,
     [](const R& r) { return uint32Value(r.maxMhz ? r.maxMhz : currentMhz(r)); }},
    {"Name", 0,
     [](const R& r) {
         return r.first().modelName.empty() ? CimValue() : textValue(r.first().modelName);
     }},
    {"NumberOfCores", 0,
     [](const R& r) { return CimValue::uint(static_cast<uint64_t>(r.package.cores)); }},
    {"NumberOfEnabledCore", 0,
     [](const R& r) { return CimValue::uint(static_cast<uint64_t>(r.package.cores)); }},
    {"NumberOfLogicalProcessors", 0,
     [](const R& r) { return CimValue::uint(r.package.logical.size()); }},
    {"ProcessorId", 0, [](const R& r) { return textValue(r.processorId); }},
    {"ProcessorType", 0, [](const R&) { return CimValue::uint(3); }},  // central processor
    {"Revision", 0,
     [](const R& r) {
         const CpuInfoEntry& e = r.first();
         if (!e.model || !e.stepping) return CimValue();
         return CimValue::uint(
             static_cast<uint64_t>((*e.model & 0xFF) << 8 | (*e.stepping & 0xFF)));
     }},
    {"Role", 0, [](const R&) { return constText("CPU"); }},
    {"SecondLevelAddressTranslationExtensions", 0,
     [](const R& r) {
         return CimValue::boolean(r.first().hasFlag("ept") || r.first().hasFlag("npt"));
     }},
    {"Status", 0, [](const R&) { return constText("OK"); }},
    {"StatusInfo", 0, [](const R&) { return CimValue::uint(3); }},  // enabled
    {"Stepping", 0,
     [](const R& r) {
         return r.first().stepping ? CimValue::string(std::to_string(*r.first().stepping))
                                   : CimValue();
     }},
    {"SystemCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const R& r) { return constText(r.systemName); }},
    {"ThreadCount", 0, [](const R& r) { return CimValue::uint(r.package.logical.size()); }},
    {"VirtualizationFirmwareEnabled", 0,
     [](const R& r) {
         return CimValue::boolean(r.first().hasFlag("vmx") || r.first().hasFlag("svm"));
     }},
    {"VMMonitorModeExtensions", 0,
     [](const R& r) {
         return CimValue::boolean(r.first().hasFlag("vmx") || r.first().hasFlag("svm"));
     }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeProcessorProvider(std::string) {
    return makeListProvider<ProcessorRecord>(kColumns, readProcessors);
}

}  // namespace wbem
