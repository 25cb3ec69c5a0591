#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

namespace settings {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> tempCounter{0};

// Writes all of data, going on after short writes and interruptions.
bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Opens a new, unique file beside the target; -1 when none can be made.
int createTemp(const fs::path& target, std::string& tempName) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = target.string() + ".tmp." + std::to_string(::getpid()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Makes the rename itself durable; a failure here loses nothing already written.
void syncFolder(const fs::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The file a path names once its symbolic links are followed (a dangling
// link names the file it would point to); empty for a loop.
fs::path resolveLinks(fs::path path) {
    std::error_code ec;
    for (int hops = 0; hops < 40; ++hops) {
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path next = fs::read_symlink(path, ec);
        if (ec) return {};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {};
}

// Rewrites the file where it is, for when replacing it would lose what the
// user set on it (its owner, its other names) or its folder takes no new
// file: all of the data first, then the old tail cut off.
bool rewriteInPlace(const fs::path& target, std::string_view data) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0 &&
              ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    if (path.empty()) return false;
    const fs::path target = resolveLinks(path);
    if (target.empty()) return false;

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return false;
    if (!exists && errno != ENOENT) return false;
    // A file nobody may write (0444) was made read-only on purpose: keep it.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) return false;
    // Another owner, or other names (hard links): a new file would take the
    // owner away from them or leave the other names with the old text.
    if (exists && (st.st_nlink > 1 || st.st_uid != ::geteuid()))
        return rewriteInPlace(target, data);

    std::string tempName;
    int fd = createTemp(target, tempName);
    if (fd < 0) {
        // A folder that takes no new file: the file itself may still be written.
        return exists && (errno == EACCES || errno == EPERM || errno == EROFS) &&
               rewriteInPlace(target, data);
    }

    bool ok = (!exists || ::fchmod(fd, st.st_mode & 07777) == 0) && writeAll(fd, data) &&
              ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tempName.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(tempName.c_str());
        return false;
    }
    fs::path folder = target.parent_path();
    syncFolder(folder.empty() ? fs::path(".") : folder);
    return true;
}

}  // namespace settings
