#include "block_devices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "../text.h"
#include "file_reader.h"
#include "parse_util.h"

namespace wbem {

namespace fs = std::filesystem;

namespace {

bool isDiskName(const std::string& n) {
    for (const char* skip : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd", "fd"})
        if (n.starts_with(skip)) return false;
    return true;
}

std::optional<std::string> sysText(const std::string& path) {
    auto v = readSysValue(path);
    if (!v) return std::nullopt;
    return sanitizeUtf8(*v);
}

std::map<std::string, std::string> linksIn(const char* dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        std::error_code lec;
        fs::path target = fs::canonical(e.path(), lec);
        if (lec) continue;
        out[target.string()] = sanitizeUtf8(decodeUdevName(e.path().filename().string()));
    }
    return out;
}

}  // namespace

std::string decodeUdevName(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned byte = 0;
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const char* first = name.data() + i + 2;
            const auto [end, ec] = std::from_chars(first, first + 2, byte, 16);
            if (ec == std::errc() && end == first + 2) {
                out += static_cast<char>(byte);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::vector<BlockDevice> readDiskDrives() {
    std::vector<BlockDevice> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/sys/block", ec)) {
        BlockDevice d;
        d.name = e.path().filename().string();
        if (!isDiskName(d.name)) continue;
        const std::string base = e.path().string() + "/";
        if (auto v = readSysValue(base + "size")) d.sectors = parseUInt(*v);
        if (d.sectors && *d.sectors == 0) continue;  // an empty slot (card reader, ...)
        if (auto v = readSysValue(base + "queue/logical_block_size")) {
            if (auto n = parseUInt(*v)) d.logicalBlockSize = static_cast<uint32_t>(*n);
        }
        d.removable = readSysValue(base + "removable").value_or("0") == "1";
        d.readOnly = readSysValue(base + "ro").value_or("0") == "1";
        d.model = sysText(base + "device/model");
        d.vendor = sysText(base + "device/vendor");
        d.serial = sysText(base + "device/serial");
        if (!d.serial) d.serial = sysText(base + "serial");
        d.firmware = sysText(base + "device/rev");
        if (!d.firmware) d.firmware = sysText(base + "device/firmware_rev");
        std::error_code lec;
        d.busPath = fs::canonical(e.path(), lec).string();
        for (const auto& p : fs::directory_iterator(e.path(), lec))
            if (fs::exists(p.path() / "partition")) ++d.partitions;
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(),
              [](const BlockDevice& a, const BlockDevice& b) { return a.name < b.name; });
    return out;
}

std::optional<std::string> interfaceType(const BlockDevice& d) {
    const std::string& p = d.busPath;
    if (p.find("/usb") != std::string::npos) return "USB";
    if (p.find("/ata") != std::string::npos) return "IDE";
    if (p.find("/firewire") != std::string::npos) return "1394";
    if (d.name.starts_with("sd") || d.name.starts_with("nvme") || d.name.starts_with("vd"))
        return "SCSI";
    return std::nullopt;
}

std::map<std::string, std::string> deviceLabels() { return linksIn("/dev/disk/by-label"); }
std::map<std::string, std::string> deviceUuids() { return linksIn("/dev/disk/by-uuid"); }

bool isRemovableDevice(const std::string& devicePath) {
    if (!devicePath.starts_with("/dev/")) return false;
    // /sys/class/block/<part> links into its disk's folder.
    std::error_code ec;
    fs::path dev = fs::canonical(fs::path("/sys/class/block") / devicePath.substr(5), ec);
    if (ec) return false;
    for (fs::path p = dev; p.has_parent_path() && p != p.parent_path(); p = p.parent_path()) {
        if (auto v = readSysValue((p / "removable").string())) return *v == "1";
    }
    return false;
}

}  // namespace wbem
