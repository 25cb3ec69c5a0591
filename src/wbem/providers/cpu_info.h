// /proc/cpuinfo, and the grouping of logical processors into the physical
// packages that Win32_Processor lists (one instance per socket, as WMI does).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct CpuInfoEntry {
    int processor = -1;
    std::string vendor;     // vendor_id ("GenuineIntel")
    std::string modelName;  // model name
    std::optional<int> family, model, stepping;
    std::optional<double> mhz;
    std::optional<int> physicalId, coreId;
    std::optional<uint64_t> cacheKb;
    std::string flags;  // blank-separated

    bool hasFlag(std::string_view flag) const;
};

// One entry per "processor" block; blocks without a processor number are
// skipped, unknown keys ignored.
std::vector<CpuInfoEntry> parseCpuInfo(std::string_view text);

struct CpuPackage {
    int id = 0;                         // physical id
    std::vector<CpuInfoEntry> logical;  // its logical processors, in order
    int cores = 0;                      // distinct core ids (or logical count when unknown)
};

// Packages in order of their physical id; entries without one count as
// package 0.
std::vector<CpuPackage> groupPackages(const std::vector<CpuInfoEntry>& entries);

// "32768 KB", "2048K", "1M" -> KB.
std::optional<uint64_t> parseCacheSizeKb(std::string_view text);

}  // namespace wbem
