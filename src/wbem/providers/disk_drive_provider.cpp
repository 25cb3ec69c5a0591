// Win32_DiskDrive: the machine's whole disks.
#include "block_devices.h"
#include "host_info.h"
#include "list_provider.h"
#include "storage_providers.h"

namespace wbem {

namespace {

struct DriveRecord {
    BlockDevice dev;
    uint32_t index = 0;
    std::string systemName;

    std::string path() const { return "/dev/" + dev.name; }
    std::optional<uint64_t> bytes() const {
        if (!dev.sectors) return std::nullopt;
        return *dev.sectors * 512;
    }
};

std::vector<DriveRecord> readDrives(uint32_t, const QueryHints& hints) {
    const std::string* only = keyText(hints, "DeviceID");
    std::vector<DriveRecord> out;
    const std::string system = computerName();
    uint32_t index = 0;
    for (BlockDevice& d : readDiskDrives()) {
        DriveRecord r;
        r.dev = std::move(d);
        r.index = index++;
        r.systemName = system;
        if (only && *only != r.path()) continue;
        out.push_back(std::move(r));
    }
    return out;
}

using R = DriveRecord;

CimValue captionOf(const R& r) {
    return r.dev.model ? textValue(r.dev.model) : textValue(r.path());
}

const Column<R> kColumns[] = {
    {"BytesPerSector", 0,
     [](const R& r) {
         return r.dev.logicalBlockSize ? CimValue::uint(*r.dev.logicalBlockSize) : CimValue();
     }},
    {"Capabilities", 0,
     [](const R& r) {
         // 3 random access, 4 supports writing, 7 supports removable media
         CimValue::Array caps{CimValue::uint(3)};
         if (!r.dev.readOnly) caps.push_back(CimValue::uint(4));
         if (r.dev.removable) caps.push_back(CimValue::uint(7));
         return CimValue::array(std::move(caps));
     }},
    {"Caption", 0, captionOf},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_DiskDrive"); }},
    {"Description", 0, [](const R&) { return constText("Disk drive"); }},
    {"DeviceID", 0, [](const R& r) { return textValue(r.path()); }},
    {"FirmwareRevision", 0, [](const R& r) { return textValue(r.dev.firmware); }},
    {"Index", 0, [](const R& r) { return CimValue::uint(r.index); }},
    {"InterfaceType", 0, [](const R& r) { return textValue(interfaceType(r.dev)); }},
    {"Manufacturer", 0, [](const R& r) { return textValue(r.dev.vendor); }},
    {"MediaLoaded", 0, [](const R&) { return CimValue::boolean(true); }},
    {"MediaType", 0,
     [](const R& r) {
         return constText(r.dev.removable ? "Removable Media" : "Fixed hard disk media");
     }},
    {"Model", 0, [](const R& r) { return textValue(r.dev.model); }},
    {"Name", 0, [](const R& r) { return textValue(r.path()); }},
    {"Partitions", 0, [](const R& r) { return CimValue::uint(r.dev.partitions); }},
    {"SerialNumber", 0, [](const R& r) { return textValue(r.dev.serial); }},
    {"Size", 0, [](const R& r) { return uintValue(r.bytes()); }},
    {"Status", 0, [](const R&) { return constText("OK"); }},
    {"SystemCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const R& r) { return constText(r.systemName); }},
    {"TotalSectors", 0, [](const R& r) { return uintValue(r.dev.sectors); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeDiskDriveProvider(std::string) {
    return makeListProvider<DriveRecord>(kColumns, readDrives);
}

}  // namespace wbem
