// Block devices from /sys/block and the names udev gives file systems
// (/dev/disk/by-label, /dev/disk/by-uuid).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct BlockDevice {
    std::string name;                 // "sda", "nvme0n1", "vda"
    std::optional<uint64_t> sectors;  // in 512-byte units
    std::optional<uint32_t> logicalBlockSize;
    bool removable = false;
    bool readOnly = false;
    std::optional<std::string> model, vendor, serial, firmware;
    std::string busPath;  // resolved /sys/block/<name> link, tells the bus
    uint32_t partitions = 0;
};

// Whole disks: loop, RAM, zram, device-mapper, md, optical and network
// block devices are left out (they are not disk drives).
std::vector<BlockDevice> readDiskDrives();
// "USB", "IDE", "SCSI", ... as WMI names the interface of a drive.
std::optional<std::string> interfaceType(const BlockDevice& d);

// A udev link name with its \xHH escapes (blanks, slashes) decoded; an
// escape that is not two hex digits stays as written.
std::string decodeUdevName(std::string_view name);

// Device path ("/dev/sda1") -> label or UUID, from the udev symlinks.
std::map<std::string, std::string> deviceLabels();
std::map<std::string, std::string> deviceUuids();

// True when the kernel name of a mounted device's disk is removable.
bool isRemovableDevice(const std::string& devicePath);

}  // namespace wbem
