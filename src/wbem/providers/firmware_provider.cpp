// Win32_BIOS from the firmware strings the kernel exports (/sys/class/dmi/id);
// no instance on machines without them.
#include "cim_datetime.h"
#include "list_provider.h"
#include "parse_util.h"
#include "system_facts.h"
#include "system_providers.h"

namespace wbem {

namespace {

struct BiosRecord {
    std::optional<std::string> vendor, version, date, release;
};

// "03/14/2023" (mm/dd/yyyy, as SMBIOS writes it) as a CIM datetime at midnight UTC.
std::optional<std::string> biosDate(const std::optional<std::string>& text) {
    if (!text || text->size() != 10 || (*text)[2] != '/' || (*text)[5] != '/') return std::nullopt;
    auto m = parseUInt(std::string_view(*text).substr(0, 2));
    auto d = parseUInt(std::string_view(*text).substr(3, 2));
    auto y = parseUInt(std::string_view(*text).substr(6, 4));
    if (!m || !d || !y) return std::nullopt;
    auto epoch = civilToEpoch(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d));
    if (!epoch) return std::nullopt;
    return cimDateTime(*epoch, 0, 0);
}

using B = BiosRecord;

const Column<B> kColumns[] = {
    {"BIOSVersion", 0,
     [](const B& r) { return r.version ? stringArray({*r.version}) : CimValue(); }},
    {"Caption", 0, [](const B& r) { return textValue(r.version); }},
    {"Description", 0, [](const B& r) { return textValue(r.version); }},
    {"Manufacturer", 0, [](const B& r) { return textValue(r.vendor); }},
    {"Name", 0, [](const B& r) { return textValue(r.version); }},
    {"PrimaryBIOS", 0, [](const B&) { return CimValue::boolean(true); }},
    {"ReleaseDate", 0, [](const B& r) { return textValue(biosDate(r.date)); }},
    {"SMBIOSBIOSVersion", 0, [](const B& r) { return textValue(r.version); }},
    {"SMBIOSPresent", 0, [](const B&) { return CimValue::boolean(true); }},
    {"SoftwareElementID", 0, [](const B& r) { return textValue(r.version); }},
    {"SoftwareElementState", 0, [](const B&) { return CimValue::uint(3); }},  // running
    {"Status", 0, [](const B&) { return constText("OK"); }},
    {"SystemBiosMajorVersion", 0,
     [](const B& r) {
         if (!r.release) return CimValue();
         auto v = parseUInt(std::string_view(*r.release).substr(0, r.release->find('.')));
         return v && *v < 256 ? CimValue::uint(*v) : CimValue();
     }},
    {"SystemBiosMinorVersion", 0,
     [](const B& r) {
         if (!r.release || r.release->find('.') == std::string::npos) return CimValue();
         auto v = parseUInt(std::string_view(*r.release).substr(r.release->find('.') + 1));
         return v && *v < 256 ? CimValue::uint(*v) : CimValue();
     }},
    {"TargetOperatingSystem", 0, [](const B&) { return CimValue::uint(0); }},
    {"Version", 0, [](const B& r) { return textValue(r.version); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeBiosProvider(std::string) {
    return makeListProvider<BiosRecord>(kColumns, [](uint32_t, const QueryHints&) {
        BiosRecord r{dmiValue("bios_vendor"), dmiValue("bios_version"), dmiValue("bios_date"),
                     dmiValue("bios_release")};
        // The keys need a version; without one there is nothing to describe.
        if (!r.version) return std::vector<BiosRecord>{};
        return std::vector<BiosRecord>{r};
    });
}

}  // namespace wbem
