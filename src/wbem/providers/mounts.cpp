#include "mounts.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <array>

#include "parse_util.h"

namespace wbem {

bool MountEntry::readOnly() const {
    Splitter opts(options, ',');
    std::string_view o;
    while (opts.next(o))
        if (o == "ro") return true;
    return false;
}

std::string unescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        Words words(line);
        std::string_view w[6];
        bool ok = true;
        for (auto& x : w) ok = ok && words.next(x);
        if (!ok) continue;
        // Optional fields run up to the lone "-".
        std::string_view sep;
        while ((ok = words.next(sep)) && sep != "-") {
        }
        std::string_view fsType, source, superOptions;
        if (!ok || !words.next(fsType) || !words.next(source)) continue;
        words.next(superOptions);

        MountEntry m;
        auto id = parseInt(w[0]);
        auto parent = parseInt(w[1]);
        const size_t colon = w[2].find(':');
        if (!id || !parent || colon == std::string_view::npos) continue;
        auto major = parseUInt(w[2].substr(0, colon));
        auto minor = parseUInt(w[2].substr(colon + 1));
        if (!major || !minor) continue;
        m.mountId = static_cast<int>(*id);
        m.parentId = static_cast<int>(*parent);
        m.major = static_cast<unsigned>(*major);
        m.minor = static_cast<unsigned>(*minor);
        m.root = unescapeMountField(w[3]);
        m.mountPoint = unescapeMountField(w[4]);
        m.options = std::string(w[5]);
        m.fsType = unescapeMountField(fsType);
        m.source = unescapeMountField(source);
        m.superOptions = std::string(superOptions);
        out.push_back(std::move(m));
    }
    return out;
}

bool isPseudoFileSystem(std::string_view t) {
    static constexpr std::array<std::string_view, 24> kPseudo = {
        "proc",    "sysfs",           "cgroup",     "cgroup2", "devpts",   "mqueue",    "debugfs",
        "tracefs", "securityfs",      "pstore",     "bpf",     "configfs", "fusectl",   "hugetlbfs",
        "autofs",  "binfmt_misc",     "rpc_pipefs", "nsfs",    "efivarfs", "selinuxfs", "devtmpfs",
        "nfsd",    "fuse.gvfsd-fuse", "fuse.portal"};
    return std::find(kPseudo.begin(), kPseudo.end(), t) != kPseudo.end();
}

bool isNetworkFileSystem(std::string_view t) {
    static constexpr std::array<std::string_view, 13> kNet = {
        "nfs", "nfs4", "cifs",      "smb3",       "smbfs", "ncpfs",         "afs",
        "9p",  "ceph", "glusterfs", "fuse.sshfs", "davfs", "fuse.glusterfs"};
    return std::find(kNet.begin(), kNet.end(), t) != kNet.end();
}

bool isMemoryFileSystem(std::string_view t) { return t == "tmpfs" || t == "ramfs"; }

std::vector<MountEntry> dataMounts(const std::vector<MountEntry>& all) {
    auto underKernelTree = [](std::string_view p) {
        for (std::string_view root : {"/proc", "/sys", "/dev"})
            if (p == root ||
                (p.starts_with(root) && p.size() > root.size() && p[root.size()] == '/'))
                return true;
        return false;
    };
    std::vector<MountEntry> out;
    for (const MountEntry& m : all) {
        if (isPseudoFileSystem(m.fsType) || underKernelTree(m.mountPoint)) continue;
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(out.begin(), out.end(),
                                 [&](const MountEntry& o) { return o.mountPoint == m.mountPoint; });
        if (same != out.end()) out.erase(same);
        out.push_back(m);
    }
    return out;
}

FsUsageResult boundedStatVfs(const std::string& path, std::chrono::milliseconds limit) {
    auto r = runBounded<std::optional<FsUsage>>(
        "statvfs:" + path, limit, [path]() -> std::optional<FsUsage> {
            struct statvfs s {};
            if (statvfs(path.c_str(), &s) != 0) return std::nullopt;
            const uint64_t unit = s.f_frsize ? s.f_frsize : s.f_bsize;
            FsUsage u;
            u.blockSize = s.f_bsize;
            u.totalBlocks = s.f_blocks;
            u.totalBytes = uint64_t{s.f_blocks} * unit;
            u.freeBytes = uint64_t{s.f_bfree} * unit;
            u.availableBytes = uint64_t{s.f_bavail} * unit;
            u.maxNameLength = s.f_namemax;
            return u;
        });
    FsUsageResult out;
    out.outcome = r.outcome;
    if (r.outcome == BoundedOutcome::Done) {
        if (*r.value)
            out.usage = **r.value;
        else
            out.outcome = BoundedOutcome::Failed;
    }
    return out;
}

}  // namespace wbem
