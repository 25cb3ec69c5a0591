// Reading processes and threads from a /proc tree: the walk over the numeric
// entries, and the per-process files a query needs, nothing more.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "file_reader.h"
#include "proc_parsers.h"

namespace wbem {

// Parts of a process record; a query's columns say which ones to read.
namespace procpart {
inline constexpr uint32_t Stat = 1;
inline constexpr uint32_t Status = 2;
inline constexpr uint32_t Cmdline = 4;
inline constexpr uint32_t Exe = 8;
inline constexpr uint32_t Fds = 16;
inline constexpr uint32_t Io = 32;
// The full program name: the kernel cuts names at 15 bytes, so a name of
// that length is completed from the command line.
inline constexpr uint32_t FullName = 64;
}  // namespace procpart

// Facts shared by all records of one walk, each read on first use.
class ProcessContext {
  public:
    explicit ProcessContext(std::string procRoot, std::string nspace);

    const std::string& procRoot() const { return root_; }
    const std::string& nspace() const { return nspace_; }
    std::optional<int64_t> bootTime() const;  // seconds since the epoch
    long clockTicks() const { return ticks_; }
    long pageSize() const { return pageSize_; }
    const std::string& computerName() const;
    const std::string& osName() const;  // "<caption>|/|<root device>"
    const std::string& kernelRelease() const;

  private:
    std::string root_, nspace_;
    long ticks_, pageSize_;
    mutable std::optional<std::optional<int64_t>> bootTime_;
    mutable std::optional<std::string> computerName_, osName_, kernelRelease_;
};

struct ProcessRecord {
    int64_t pid = 0;   // the thread id for thread records
    int64_t tgid = 0;  // owning process (equal to pid for processes)
    ProcStat stat;
    std::optional<ProcStatus> status;
    std::optional<std::string> cmdline;  // raw, NUL-separated
    std::optional<std::string> exe;
    std::optional<uint64_t> fdCount;
    std::optional<ProcIo> io;
    const ProcessContext* ctx = nullptr;

    // Program name: the kernel's, completed from argv[0] when cut short.
    // Worked out once per record; three properties show it.
    const std::string& name() const;
    mutable std::optional<std::string> nameCache;
    // Ticks converted to 100-nanosecond units and to a CIM datetime.
    std::optional<uint64_t> ticksTo100ns(StatField f) const;
    std::optional<std::string> creationDate() const;
};

class ProcReader {
  public:
    explicit ProcReader(const std::string& root);
    bool valid() const { return root_.valid(); }
    int rootFd() const { return root_.get(); }

    // Reads the parts of process `pid` into `rec`. False when the process
    // is gone (or not a process at all); files it may not read stay empty.
    bool readProcess(int64_t pid, uint32_t parts, ProcessRecord& rec);
    // The same for thread `tid` of process `pid` (/proc/<pid>/task/<tid>).
    bool readThread(int64_t pid, int64_t tid, uint32_t parts, ProcessRecord& rec);

  private:
    bool readFrom(int dirfd, uint32_t parts, ProcessRecord& rec);
    std::optional<uint64_t> countFds(int dirfd, bool kernelThread);

    DirFd root_;
    std::string cmdline_;  // cmdline, which may be long
    std::string exe_;
    std::unique_ptr<char[]> small_;  // stat, status, io: a few KB each
    int fdSizeWorks_ = -1;  // does stat() of a fd directory give the count? -1: not known yet
    int kernelThreadFdsOpen_ = -1;  // may we list a kernel thread's fds? -1: not asked yet
};

// The numeric entries of a directory, one per call, read as the walk goes.
class PidWalker {
  public:
    // Walks `path` below `dirfd`; an unreadable directory walks empty.
    PidWalker(int dirfd, const char* path);
    ~PidWalker();
    PidWalker(const PidWalker&) = delete;
    PidWalker& operator=(const PidWalker&) = delete;

    std::optional<int64_t> next();

  private:
    DIR* dir_ = nullptr;
};

}  // namespace wbem
