#include "files/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace files {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> tempCounter{0};

// The file a path names once its symbolic links are followed (a dangling
// link names the file it would point to); empty with `error` for a loop or
// an unreadable link.
fs::path resolveLinks(fs::path path, int& error) {
    std::error_code ec;
    for (int hops = 0; hops < 40; ++hops) {
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.value();
            return {};
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = ELOOP;
    return {};
}

// Makes the rename itself durable; a failure here loses nothing already written.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Closes and removes a temporary file that will not be used, keeping errno.
void dropTemp(int fd, const std::string& tempName) {
    const int saved = errno;
    ::close(fd);
    ::unlink(tempName.c_str());
    errno = saved;
}

}  // namespace

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

int LookAt(const std::string& path, TargetFile& target) {
    if (path.empty()) return ENOENT;
    target.st = {};
    const bool exists = ::stat(path.c_str(), &target.st) == 0;
    if (!exists && errno != ENOENT) return errno;
    // What is no regular file keeps the name it was given: /dev/stdout's
    // links (/proc/self/fd/1 -> "pipe:[...]") lead to no path of their own.
    if (exists && !S_ISREG(target.st.st_mode)) {
        target.path = path;
        target.kind = TargetFile::Kind::Other;
        return 0;
    }
    int error = 0;
    target.path = resolveLinks(path, error);
    if (target.path.empty()) return error;
    if (!exists) {
        target.kind = TargetFile::Kind::New;
        return 0;
    }
    // A file whose links lead elsewhere than the system found it (an open
    // file deleted since, seen through /proc/self/fd) has no name to put new
    // contents under: it is written as it is reached.
    struct stat there {};
    const bool same = ::stat(target.path.c_str(), &there) == 0 &&
                      there.st_dev == target.st.st_dev && there.st_ino == target.st.st_ino;
    target.kind = same ? TargetFile::Kind::Regular : TargetFile::Kind::Other;
    if (!same) target.path = path;
    return 0;
}

int MayWrite(const TargetFile& target) {
    if (target.kind != TargetFile::Kind::Regular) return 0;
    if ((target.st.st_mode & 0222) == 0) return EACCES;
    return ::access(target.path.c_str(), W_OK) == 0 ? 0 : errno;
}

bool NeedsRewriteInPlace(const TargetFile& target) {
    return target.kind == TargetFile::Kind::Regular && target.st.st_nlink > 1;
}

int CreateTempBeside(const TargetFile& target, std::string& tempName) {
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = target.path.string() + ".tmp." + std::to_string(::getpid()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return -1;
    }
    if (fd < 0) return -1;
    if (target.kind != TargetFile::Kind::Regular) return fd;
    // The owner first: a change of owner clears the set-id bits of the mode.
    struct stat mine {};
    if (::fstat(fd, &mine) != 0 ||
        ((mine.st_uid != target.st.st_uid || mine.st_gid != target.st.st_gid) &&
         ::fchown(fd, target.st.st_uid, target.st.st_gid) != 0) ||
        ::fchmod(fd, target.st.st_mode & 07777) != 0) {
        dropTemp(fd, tempName);
        return -1;
    }
    return fd;
}

int PutInPlace(int fd, const std::string& tempName, const TargetFile& target) {
    int error = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(tempName.c_str(), target.path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempName.c_str());
        return error;
    }
    const fs::path folder = target.path.parent_path();
    syncFolder(folder.empty() ? fs::path(".") : folder);
    return 0;
}

int RewriteInPlace(const TargetFile& target, std::string_view data) {
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    // Room for longer contents is reserved first, so that a full disk stops
    // the rewrite before it has overwritten anything.
    int error = 0;
    if (static_cast<off_t>(data.size()) > target.st.st_size)
        error = ::posix_fallocate(fd, 0, static_cast<off_t>(data.size()));
    if (error == 0) error = WriteAll(fd, data);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(data.size())) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

int ReplaceContents(const std::string& path, std::string_view data) {
    TargetFile target;
    if (const int error = LookAt(path, target)) return error;
    if (target.kind == TargetFile::Kind::Other) return S_ISDIR(target.st.st_mode) ? EISDIR : EINVAL;
    if (const int error = MayWrite(target)) return error;
    if (NeedsRewriteInPlace(target)) return RewriteInPlace(target, data);
    std::string tempName;
    const int fd = CreateTempBeside(target, tempName);
    if (fd < 0) {
        const int error = errno;
        // A folder that takes no new file, or an owner a new file cannot
        // have: the file itself may still be written.
        if (target.kind == TargetFile::Kind::Regular && (error == EACCES || error == EPERM))
            return RewriteInPlace(target, data);
        return error;
    }
    if (const int error = WriteAll(fd, data)) {
        dropTemp(fd, tempName);
        return error;
    }
    return PutInPlace(fd, tempName, target);
}

}  // namespace files
