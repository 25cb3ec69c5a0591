// Small, allocation-frugal reads of the pseudo files under /proc and /sys.
// The outcome tells a vanished entity (Gone) from a refused one (Denied), so
// that callers can skip the first and report nulls for the second.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wbem {

enum class ReadStatus { Ok, Gone, Denied, Failed };

inline constexpr size_t kMaxPseudoFileSize = size_t{4} << 20;

// How a read knows it has reached the end of a file. In general only a read
// that returns nothing tells. A file the kernel writes out whole on every
// read (a /proc/<pid> file of one record: stat, status, io, cmdline) has
// ended once a read returns less than was asked, which saves the empty read,
// a system call per file on a walk over all processes.
enum class FileEnd { EmptyRead, ShortRead };

// The whole file `path` (relative to the directory descriptor `dirfd`, or
// absolute with AT_FDCWD) into `out`, reusing its capacity; reads at most
// `limit` bytes.
ReadStatus readFileAt(int dirfd, const char* path, std::string& out,
                      size_t limit = kMaxPseudoFileSize, FileEnd end = FileEnd::EmptyRead);
// The same into a caller's buffer of `capacity` bytes; `length` receives the
// number of bytes read (a longer file is cut at the capacity).
ReadStatus readFileInto(int dirfd, const char* path, char* buffer, size_t capacity, size_t& length,
                        FileEnd end = FileEnd::EmptyRead);
// The target of a symbolic link.
ReadStatus readLinkAt(int dirfd, const char* path, std::string& out);

// Convenience forms for absolute paths: nullopt on any failure.
std::optional<std::string> readTextFile(const std::string& path, size_t limit = kMaxPseudoFileSize);
// A one-value /sys or /proc file with surrounding blanks removed; nullopt
// when unreadable or empty.
std::optional<std::string> readSysValue(const std::string& path);

ReadStatus statusFromErrno(int err);

// A directory descriptor that closes itself.
class DirFd {
  public:
    DirFd() = default;
    explicit DirFd(int fd) : fd_(fd) {}
    DirFd(DirFd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    DirFd& operator=(DirFd&& o) noexcept;
    DirFd(const DirFd&) = delete;
    DirFd& operator=(const DirFd&) = delete;
    ~DirFd();

    // Opens `path` below `dirfd` as a directory; invalid on failure (errno kept).
    static DirFd open(int dirfd, const char* path);
    // The same for a directory only to reach the files below it, not to list
    // (O_PATH): the kernel sets up less for it, which counts where a walk
    // opens one per process.
    static DirFd openPath(int dirfd, const char* path);

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives up ownership: the caller closes the descriptor.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

}  // namespace wbem
