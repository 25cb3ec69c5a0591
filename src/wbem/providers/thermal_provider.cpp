#include "thermal_provider.h"

#include <algorithm>
#include <filesystem>

#include "file_reader.h"
#include "list_provider.h"
#include "parse_util.h"

namespace wbem {

std::optional<uint64_t> milliCelsiusToDeciKelvin(int64_t milliCelsius) {
    // K = C + 273.15, in tenths: (mC + 273150) / 100, rounded.
    const int64_t v = milliCelsius + 273150;
    if (v < 0) return std::nullopt;
    return static_cast<uint64_t>((v + 50) / 100);
}

namespace {

struct ZoneRecord {
    std::string instanceName;
    std::optional<uint64_t> current, critical, passive;
    std::vector<uint64_t> active;
};

std::optional<uint64_t> readTemp(const std::string& path) {
    auto v = readSysValue(path);
    if (!v) return std::nullopt;
    auto mc = parseInt(*v);
    return mc ? milliCelsiusToDeciKelvin(*mc) : std::nullopt;
}

std::vector<ZoneRecord> readZones(const std::string& root) {
    std::vector<ZoneRecord> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root, ec)) {
        const std::string name = e.path().filename().string();
        if (!name.starts_with("thermal_zone")) continue;
        const std::string base = e.path().string() + "/";
        ZoneRecord z;
        // WMI names ACPI zones by their ACPI path; the kernel's zone name
        // and type stand in for it.
        z.instanceName = name + "_" + readSysValue(base + "type").value_or("zone");
        z.current = readTemp(base + "temp");
        if (!z.current) continue;  // a zone that reports no temperature is not listed
        for (int i = 0; i < 16; ++i) {
            const std::string tp = base + "trip_point_" + std::to_string(i) + "_";
            auto type = readSysValue(tp + "type");
            if (!type) break;
            auto t = readTemp(tp + "temp");
            if (!t) continue;
            if (*type == "critical")
                z.critical = t;
            else if (*type == "passive")
                z.passive = t;
            else if (*type == "active")
                z.active.push_back(*t);
        }
        out.push_back(std::move(z));
    }
    std::sort(out.begin(), out.end(), [](const ZoneRecord& a, const ZoneRecord& b) {
        return a.instanceName < b.instanceName;
    });
    return out;
}

using Z = ZoneRecord;

const Column<Z> kColumns[] = {
    {"Active", 0, [](const Z&) { return CimValue::boolean(true); }},
    {"ActiveTripPoint", 0,
     [](const Z& z) {
         CimValue::Array a;
         for (uint64_t t : z.active) a.push_back(CimValue::uint(t));
         return CimValue::array(std::move(a));
     }},
    {"ActiveTripPointCount", 0, [](const Z& z) { return CimValue::uint(z.active.size()); }},
    {"CriticalTripPoint", 0, [](const Z& z) { return uint32Value(z.critical); }},
    {"CurrentTemperature", 0, [](const Z& z) { return uint32Value(z.current); }},
    {"InstanceName", 0, [](const Z& z) { return textValue(z.instanceName); }},
    {"PassiveTripPoint", 0, [](const Z& z) { return uint32Value(z.passive); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeThermalZoneProvider(std::string, std::string sysRoot) {
    return makeListProvider<ZoneRecord>(
        kColumns, [sysRoot](uint32_t, const QueryHints&) { return readZones(sysRoot); });
}

}  // namespace wbem
