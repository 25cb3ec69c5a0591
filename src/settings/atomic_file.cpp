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

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    if (path.empty()) return false;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) return false;
        target = resolved;
    }

    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return false;
    if (!exists && errno != ENOENT) return false;

    std::string tempName;
    int fd = createTemp(target, tempName);
    if (fd < 0) return false;

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
