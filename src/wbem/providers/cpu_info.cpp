#include "cpu_info.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "../text.h"
#include "parse_util.h"

namespace wbem {

bool CpuInfoEntry::hasFlag(std::string_view flag) const {
    Words words(flags);
    std::string_view w;
    while (words.next(w))
        if (w == flag) return true;
    return false;
}

std::optional<uint64_t> parseCacheSizeKb(std::string_view text) {
    text = trimmed(text);
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    auto n = parseUInt(text.substr(0, digits));
    if (!n) return std::nullopt;
    std::string_view unit = trimmed(text.substr(digits));
    if (unit.empty() || unit == "K" || unit == "KB" || unit == "kB") return *n;
    if (unit == "M" || unit == "MB") return *n * 1024;
    return std::nullopt;
}

namespace {

std::optional<int> smallInt(std::string_view v) {
    auto n = parseInt(v);
    if (!n || *n < 0 || *n > 1 << 30) return std::nullopt;
    return static_cast<int>(*n);
}

}  // namespace

std::vector<CpuInfoEntry> parseCpuInfo(std::string_view text) {
    std::vector<CpuInfoEntry> out;
    CpuInfoEntry cur;
    auto flush = [&] {
        if (cur.processor >= 0) out.push_back(std::move(cur));
        cur = CpuInfoEntry{};
    };
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            if (trimmed(line).empty()) flush();
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, colon));
        const std::string_view v = trimmed(line.substr(colon + 1));
        if (key == "processor") {
            if (cur.processor >= 0) flush();
            cur.processor = smallInt(v).value_or(-1);
        } else if (key == "vendor_id" || key == "vendor") {
            cur.vendor = sanitizeUtf8(v);
        } else if (key == "model name" || (key == "Processor" && cur.modelName.empty())) {
            cur.modelName = sanitizeUtf8(v);
        } else if (key == "cpu family") {
            cur.family = smallInt(v);
        } else if (key == "model") {
            cur.model = smallInt(v);
        } else if (key == "stepping") {
            cur.stepping = smallInt(v);
        } else if (key == "cpu MHz") {
            double mhz = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), mhz);
            if (ec == std::errc() && p == v.data() + v.size() && mhz > 0) cur.mhz = mhz;
        } else if (key == "physical id") {
            cur.physicalId = smallInt(v);
        } else if (key == "core id") {
            cur.coreId = smallInt(v);
        } else if (key == "cache size") {
            cur.cacheKb = parseCacheSizeKb(v);
        } else if (key == "flags" || key == "Features") {
            cur.flags = std::string(v);
        }
    }
    flush();
    return out;
}

std::vector<CpuPackage> groupPackages(const std::vector<CpuInfoEntry>& entries) {
    std::map<int, CpuPackage> byId;
    for (const CpuInfoEntry& e : entries) {
        const int id = e.physicalId.value_or(0);
        CpuPackage& p = byId[id];
        p.id = id;
        p.logical.push_back(e);
    }
    std::vector<CpuPackage> out;
    for (auto& [id, p] : byId) {
        std::set<int> cores;
        bool allKnown = true;
        for (const CpuInfoEntry& e : p.logical) {
            if (e.coreId)
                cores.insert(*e.coreId);
            else
                allKnown = false;
        }
        p.cores = allKnown ? static_cast<int>(cores.size()) : static_cast<int>(p.logical.size());
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace wbem
