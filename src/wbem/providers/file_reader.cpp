#include "file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "../text.h"

namespace wbem {

ReadStatus statusFromErrno(int err) {
    switch (err) {
        case ENOENT:
        case ESRCH:
            return ReadStatus::Gone;
        case EACCES:
        case EPERM:
            return ReadStatus::Denied;
        default:
            return ReadStatus::Failed;
    }
}

namespace {

struct Filled {
    ReadStatus status = ReadStatus::Ok;
    bool atEnd = true;  // false: the buffer filled before the file ended
};

// Reads the open file `fd` into buffer[length, capacity), moving `length`
// past what was read. Pseudo files report a size of 0 or 4096, so this reads
// until the end instead of trusting it; one read is enough for nearly all.
Filled readInto(int fd, char* buffer, size_t capacity, size_t& length, FileEnd end) {
    while (length < capacity) {
        const size_t asked = capacity - length;
        const ssize_t n = ::read(fd, buffer + length, asked);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {statusFromErrno(errno), true};
        }
        if (n == 0) return {};
        length += static_cast<size_t>(n);
        if (end == FileEnd::ShortRead && static_cast<size_t>(n) < asked) return {};
    }
    return {ReadStatus::Ok, false};
}

}  // namespace

ReadStatus readFileAt(int dirfd, const char* path, std::string& out, size_t limit, FileEnd end) {
    out.clear();
    const int fd = ::openat(dirfd, path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return statusFromErrno(errno);
    // The first page is read on the stack and only its bytes copied: growing
    // `out` to a page would clear the whole page on every file.
    char page[4096];
    size_t used = 0;
    Filled r = readInto(fd, page, std::min(limit, sizeof page), used, end);
    if (r.status == ReadStatus::Ok) out.assign(page, used);
    while (r.status == ReadStatus::Ok && !r.atEnd && used < limit) {
        out.resize(std::min(limit, 2 * used));
        r = readInto(fd, out.data(), out.size(), used, end);
        out.resize(used);
    }
    ::close(fd);
    if (r.status != ReadStatus::Ok) out.clear();
    return r.status;
}

ReadStatus readFileInto(int dirfd, const char* path, char* buffer, size_t capacity, size_t& length,
                        FileEnd end) {
    length = 0;
    const int fd = ::openat(dirfd, path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return statusFromErrno(errno);
    const ReadStatus status = readInto(fd, buffer, capacity, length, end).status;
    ::close(fd);
    if (status != ReadStatus::Ok) length = 0;
    return status;
}

ReadStatus readLinkAt(int dirfd, const char* path, std::string& out) {
    out.resize(256);
    for (;;) {
        const ssize_t n = ::readlinkat(dirfd, path, out.data(), out.size());
        if (n < 0) {
            out.clear();
            return statusFromErrno(errno);
        }
        if (static_cast<size_t>(n) < out.size()) {
            out.resize(static_cast<size_t>(n));
            return ReadStatus::Ok;
        }
        if (out.size() >= 65536) {
            out.clear();
            return ReadStatus::Failed;
        }
        out.resize(out.size() * 2);
    }
}

std::optional<std::string> readTextFile(const std::string& path, size_t limit) {
    std::string text;
    if (readFileAt(AT_FDCWD, path.c_str(), text, limit) != ReadStatus::Ok) return std::nullopt;
    return text;
}

std::optional<std::string> readSysValue(const std::string& path) {
    auto text = readTextFile(path, 65536);
    if (!text) return std::nullopt;
    std::string value(trimmed(*text));
    if (value.empty()) return std::nullopt;
    return value;
}

DirFd& DirFd::operator=(DirFd&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

DirFd::~DirFd() {
    if (fd_ >= 0) ::close(fd_);
}

DirFd DirFd::open(int dirfd, const char* path) {
    return DirFd(::openat(dirfd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

DirFd DirFd::openPath(int dirfd, const char* path) {
    return DirFd(::openat(dirfd, path, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace wbem
