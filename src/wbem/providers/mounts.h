// The mount table (/proc/self/mountinfo) and file-system usage, with the
// usage query bounded in time so that a dead network mount cannot freeze a
// walk.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bounded_call.h"

namespace wbem {

struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    unsigned major = 0, minor = 0;
    std::string root;        // the part of the file system mounted
    std::string mountPoint;  // escapes undone
    std::string options;     // per-mount options
    std::string fsType;
    std::string source;
    std::string superOptions;

    bool readOnly() const;
};

// One entry per well-formed line; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// Undoes the kernel's octal escapes (\040 for a blank, ...).
std::string unescapeMountField(std::string_view field);

// Kernel interfaces mounted as file systems (proc, sysfs, cgroup, ...).
bool isPseudoFileSystem(std::string_view fsType);
bool isNetworkFileSystem(std::string_view fsType);
bool isMemoryFileSystem(std::string_view fsType);

// The mounts that hold user data, as the disk classes list them: pseudo file
// systems and the kernel trees (/proc, /sys, /dev) left out, and for a mount
// point mounted more than once only the last, visible mount.
std::vector<MountEntry> dataMounts(const std::vector<MountEntry>& all);

struct FsUsage {
    uint64_t blockSize = 0;
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;       // free for anyone (f_bfree)
    uint64_t availableBytes = 0;  // free for unprivileged users (f_bavail)
    uint64_t maxNameLength = 0;
    uint64_t totalBlocks = 0;
};

struct FsUsageResult {
    BoundedOutcome outcome = BoundedOutcome::Failed;
    FsUsage usage;  // valid when outcome is Done
};

inline constexpr std::chrono::milliseconds kStatVfsLimit{500};

// statvfs of `path`, given at most `limit`.
FsUsageResult boundedStatVfs(const std::string& path,
                             std::chrono::milliseconds limit = kStatVfsLimit);

}  // namespace wbem
