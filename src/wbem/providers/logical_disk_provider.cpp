// Win32_LogicalDisk (every mounted data file system, the mount point as its
// DeviceID) and Win32_Volume (the block-device file systems among them).
#include <set>

#include "block_devices.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "mounts.h"
#include "storage_providers.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Usage = 1, Names = 2;
}

struct FsRecord {
    MountEntry mount;
    FsUsageResult usage;
    bool usageRead = false;
    uint32_t driveType = 3;
    std::optional<std::string> label, uuid;
    std::string systemName;
    std::string volumeName;  // mount point shown for a volume
    bool boot = false, system = false;
};

// WMI's drive types: 2 removable, 3 local, 4 network, 5 optical, 6 RAM disk.
uint32_t driveTypeOf(const MountEntry& m) {
    if (isNetworkFileSystem(m.fsType)) return 4;
    if (isMemoryFileSystem(m.fsType)) return 6;
    if (m.fsType == "iso9660" || m.fsType == "udf") return 5;
    if (isRemovableDevice(m.source)) return 2;
    return 3;
}

std::vector<MountEntry> readMounts() {
    auto text = readTextFile("/proc/self/mountinfo");
    return text ? dataMounts(parseMountInfo(*text)) : std::vector<MountEntry>{};
}

// What every record of one walk shares, read once per walk.
class RecordFiller {
  public:
    explicit RecordFiller(uint32_t needs) : needs_(needs), system_(computerName()) {
        if (needs_ & part::Names) {
            labels_ = deviceLabels();
            uuids_ = deviceUuids();
        }
    }

    FsRecord make(MountEntry&& m) const {
        FsRecord r;
        r.mount = std::move(m);
        r.systemName = system_;
        r.driveType = driveTypeOf(r.mount);
        if (needs_ & part::Usage) {
            r.usage = boundedStatVfs(r.mount.mountPoint);
            r.usageRead = true;
        }
        if (needs_ & part::Names) {
            if (auto it = labels_.find(r.mount.source); it != labels_.end()) r.label = it->second;
            if (auto it = uuids_.find(r.mount.source); it != uuids_.end()) r.uuid = it->second;
        }
        return r;
    }

  private:
    uint32_t needs_;
    std::string system_;
    std::map<std::string, std::string> labels_, uuids_;
};

std::vector<FsRecord> readLogicalDisks(uint32_t needs, const QueryHints& hints) {
    const std::string* only = keyText(hints, "DeviceID");
    const RecordFiller filler(needs);
    std::vector<FsRecord> out;
    for (MountEntry& m : readMounts()) {
        // Mount points are file names: compared exactly, not ignoring case.
        if (only && *only != m.mountPoint) continue;
        out.push_back(filler.make(std::move(m)));
    }
    return out;
}

std::vector<FsRecord> readVolumes(uint32_t needs, const QueryHints& hints) {
    const std::string* only = keyText(hints, "DeviceID");
    const RecordFiller filler(needs);
    std::vector<FsRecord> out;
    std::set<std::string> seen;
    auto mounts = readMounts();
    const bool separateBoot = std::any_of(
        mounts.begin(), mounts.end(), [](const MountEntry& m) { return m.mountPoint == "/boot"; });
    // One volume per device: a device mounted in several places is listed
    // at its first mount point.
    for (MountEntry& m : mounts) {
        if (!m.source.starts_with("/dev/") || !seen.insert(m.source).second) continue;
        if (only && *only != m.source) continue;
        FsRecord r = filler.make(std::move(m));
        r.system = r.mount.mountPoint == "/";
        r.boot = r.mount.mountPoint == (separateBoot ? "/boot" : "/");
        out.push_back(std::move(r));
    }
    return out;
}

bool usageOk(const FsRecord& r) { return r.usageRead && r.usage.outcome == BoundedOutcome::Done; }

CimValue usageValue(const FsRecord& r, uint64_t FsUsage::*field) {
    return usageOk(r) ? CimValue::uint(r.usage.usage.*field) : CimValue();
}

// What the status says when the file system could not be asked.
CimValue statusValue(const FsRecord& r) {
    if (!r.usageRead) return constText("OK");
    switch (r.usage.outcome) {
        case BoundedOutcome::Done:
            return constText("OK");
        case BoundedOutcome::Failed:
            return constText("Error");
        default:
            return constText("No Contact");
    }
}

CimValue errorValue(const FsRecord& r) {
    if (!r.usageRead) return CimValue();
    switch (r.usage.outcome) {
        case BoundedOutcome::TimedOut:
            return constText(
                "The file system did not answer within 500 ms; its sizes are not known.");
        case BoundedOutcome::StillBusy:
            return constText(
                "An earlier query of the file system has not returned yet; its sizes are not "
                "known.");
        case BoundedOutcome::Failed:
            return constText("The file system's sizes could not be read.");
        default:
            return CimValue();
    }
}

const char* driveDescription(uint32_t type) {
    switch (type) {
        case 2:
            return "Removable Disk";
        case 4:
            return "Network Connection";
        case 5:
            return "CD-ROM Disc";
        case 6:
            return "RAM Disk";
        default:
            return "Local Fixed Disk";
    }
}

using R = FsRecord;

const Column<R> kDiskColumns[] = {
    {"Access", 0, [](const R& r) { return CimValue::uint(r.mount.readOnly() ? 1 : 3); }},
    {"BlockSize", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::blockSize); }},
    {"Caption", 0, [](const R& r) { return textValue(r.mount.mountPoint); }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_LogicalDisk"); }},
    {"Description", 0, [](const R& r) { return constText(driveDescription(r.driveType)); }},
    {"DeviceID", 0, [](const R& r) { return textValue(r.mount.mountPoint); }},
    {"DriveType", 0, [](const R& r) { return CimValue::uint(r.driveType); }},
    {"ErrorDescription", part::Usage, errorValue},
    {"FileSystem", 0, [](const R& r) { return textValue(r.mount.fsType); }},
    {"FreeSpace", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::availableBytes); }},
    {"MaximumComponentLength", part::Usage,
     [](const R& r) { return usageOk(r) ? uint32Value(r.usage.usage.maxNameLength) : CimValue(); }},
    {"MediaType", 0,
     [](const R& r) {
         return r.driveType == 3   ? CimValue::uint(12)
                : r.driveType == 2 ? CimValue::uint(11)
                                   : CimValue();
     }},
    {"Name", 0, [](const R& r) { return textValue(r.mount.mountPoint); }},
    {"NumberOfBlocks", part::Usage,
     [](const R& r) { return usageValue(r, &FsUsage::totalBlocks); }},
    {"ProviderName", 0,
     [](const R& r) { return r.driveType == 4 ? textValue(r.mount.source) : CimValue(); }},
    {"Size", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::totalBytes); }},
    {"Status", part::Usage, statusValue},
    {"SystemCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const R& r) { return constText(r.systemName); }},
    {"VolumeName", part::Names, [](const R& r) { return textValue(r.label); }},
    {"VolumeSerialNumber", part::Names, [](const R& r) { return textValue(r.uuid); }},
};

const Column<R> kVolumeColumns[] = {
    {"Access", 0, [](const R& r) { return CimValue::uint(r.mount.readOnly() ? 1 : 3); }},
    {"BlockSize", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::blockSize); }},
    {"BootVolume", 0, [](const R& r) { return CimValue::boolean(r.boot); }},
    {"Capacity", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::totalBytes); }},
    {"Caption", 0, [](const R& r) { return textValue(r.mount.mountPoint); }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_Volume"); }},
    {"DeviceID", 0, [](const R& r) { return textValue(r.mount.source); }},
    {"DriveType", 0, [](const R& r) { return CimValue::uint(r.driveType); }},
    {"ErrorDescription", part::Usage, errorValue},
    {"FileSystem", 0, [](const R& r) { return textValue(r.mount.fsType); }},
    {"FreeSpace", part::Usage, [](const R& r) { return usageValue(r, &FsUsage::availableBytes); }},
    {"Label", part::Names, [](const R& r) { return textValue(r.label); }},
    {"MaximumFileNameLength", part::Usage,
     [](const R& r) { return usageOk(r) ? uint32Value(r.usage.usage.maxNameLength) : CimValue(); }},
    {"Name", 0, [](const R& r) { return textValue(r.mount.mountPoint); }},
    {"NumberOfBlocks", part::Usage,
     [](const R& r) { return usageValue(r, &FsUsage::totalBlocks); }},
    {"Status", part::Usage, statusValue},
    {"SystemCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const R& r) { return constText(r.systemName); }},
    {"SystemVolume", 0, [](const R& r) { return CimValue::boolean(r.system); }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeLogicalDiskProvider(std::string) {
    return makeListProvider<FsRecord>(kDiskColumns, readLogicalDisks);
}

std::shared_ptr<const InstanceProvider> makeVolumeProvider(std::string) {
    return makeListProvider<FsRecord>(kVolumeColumns, readVolumes);
}

}  // namespace wbem
