#include "proc_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>

#include "../text.h"
#include "cim_datetime.h"
#include "host_info.h"
#include "mounts.h"
#include "parse_util.h"

namespace wbem {

ProcessContext::ProcessContext(std::string procRoot, std::string nspace)
    : root_(std::move(procRoot)),
      nspace_(std::move(nspace)),
      ticks_(sysconf(_SC_CLK_TCK)),
      pageSize_(sysconf(_SC_PAGESIZE)) {
    if (ticks_ <= 0) ticks_ = 100;
    if (pageSize_ <= 0) pageSize_ = 4096;
}

std::optional<int64_t> ProcessContext::bootTime() const {
    if (!bootTime_) {
        auto text = readTextFile(root_ + "/stat", 1 << 20);
        bootTime_ = text ? parseBootTime(*text) : std::nullopt;
    }
    return *bootTime_;
}

const std::string& ProcessContext::computerName() const {
    if (!computerName_) computerName_ = wbem::computerName();
    return *computerName_;
}

namespace {

// "<caption>|/|<root device>", kept for a few seconds: it changes only when
// the system is upgraded or / is remounted, and reading it costs more than a
// one-process query.
std::string cachedOsName(const std::string& procRoot) {
    static std::mutex m;
    static std::string value, root;
    static std::chrono::steady_clock::time_point at;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m);
    if (root == procRoot && !value.empty() && now - at < std::chrono::seconds(10)) return value;
    std::string device;
    if (auto text = readTextFile(procRoot + "/self/mountinfo")) {
        for (const MountEntry& e : parseMountInfo(*text))
            if (e.mountPoint == "/") device = e.source;  // the last one is visible
    }
    value = osCaption() + "|/|" + device;
    root = procRoot;
    at = now;
    return value;
}

}  // namespace

const std::string& ProcessContext::osName() const {
    if (!osName_) osName_ = cachedOsName(root_);
    return *osName_;
}

const std::string& ProcessContext::kernelRelease() const {
    if (!kernelRelease_) kernelRelease_ = kernelInfo().release;
    return *kernelRelease_;
}

const std::string& ProcessRecord::name() const {
    if (nameCache) return *nameCache;
    std::string_view comm = stat.comm;
    if (comm.size() >= 15 && cmdline) {
        auto args = parseCmdline(*cmdline);
        if (!args.empty()) {
            std::string_view a0 = args[0];
            const size_t slash = a0.rfind('/');
            if (slash != std::string_view::npos) a0.remove_prefix(slash + 1);
            // Programs that rewrite their title put blanks in argv[0].
            const size_t blank = a0.find(' ');
            if (blank != std::string_view::npos) a0 = a0.substr(0, blank);
            if (a0.size() > comm.size() && a0.starts_with(comm)) comm = a0;
        }
    }
    nameCache = sanitizeUtf8(comm);
    return *nameCache;
}

std::optional<uint64_t> ProcessRecord::ticksTo100ns(StatField f) const {
    auto t = stat.field(f);
    if (!t || *t < 0 || !ctx) return std::nullopt;
    const uint64_t ticks = static_cast<uint64_t>(*t);
    const uint64_t hz = static_cast<uint64_t>(ctx->clockTicks());
    return ticks / hz * 10000000 + ticks % hz * 10000000 / hz;
}

std::optional<std::string> ProcessRecord::creationDate() const {
    auto start = stat.field(StatField::StartTime);
    if (!start || *start < 0 || !ctx) return std::nullopt;
    auto boot = ctx->bootTime();
    if (!boot) return std::nullopt;
    const int64_t hz = ctx->clockTicks();
    const int64_t secs = *boot + *start / hz;
    const auto micros = static_cast<uint32_t>(*start % hz * 1000000 / hz);
    return cimDateTime(secs, micros);
}

namespace {
constexpr size_t kSmallFile = 16384;
// The per-process files read here are each one record the kernel writes
// out whole on every read.
constexpr FileEnd kWhole = FileEnd::ShortRead;
}  // namespace

ProcReader::ProcReader(const std::string& root)
    : root_(DirFd::open(AT_FDCWD, root.c_str())), small_(new char[kSmallFile]) {}

bool ProcReader::readProcess(int64_t pid, uint32_t parts, ProcessRecord& rec) {
    char name[24];
    *std::to_chars(name, name + sizeof name - 1, pid).ptr = '\0';
    DirFd dir = DirFd::openPath(root_.get(), name);
    if (!dir.valid()) return false;
    rec.pid = pid;
    rec.tgid = pid;
    return readFrom(dir.get(), parts, rec);
}

bool ProcReader::readThread(int64_t pid, int64_t tid, uint32_t parts, ProcessRecord& rec) {
    char name[64];
    std::snprintf(name, sizeof name, "%lld/task/%lld", static_cast<long long>(pid),
                  static_cast<long long>(tid));
    DirFd dir = DirFd::openPath(root_.get(), name);
    if (!dir.valid()) return false;
    rec.pid = tid;
    rec.tgid = pid;
    return readFrom(dir.get(), parts, rec);
}

bool ProcReader::readFrom(int dirfd, uint32_t parts, ProcessRecord& rec) {
    size_t len = 0;
    // stat is read always: it tells whether the process still exists.
    if (readFileInto(dirfd, "stat", small_.get(), kSmallFile, len, kWhole) != ReadStatus::Ok)
        return false;
    auto st = parseProcStat(std::string_view(small_.get(), len));
    if (!st) return false;
    rec.stat = std::move(*st);
    rec.nameCache.reset();
    rec.status.reset();
    // The last record's command line and executable lend their buffers to
    // the next reads: a walk reads them once per process, and the command
    // line takes a page to read into.
    if (rec.cmdline) cmdline_ = std::move(*rec.cmdline);
    rec.cmdline.reset();
    if (rec.exe) exe_ = std::move(*rec.exe);
    rec.exe.reset();
    rec.fdCount.reset();
    rec.io.reset();

    if (parts & procpart::Status) {
        const ReadStatus s = readFileInto(dirfd, "status", small_.get(), kSmallFile, len, kWhole);
        if (s == ReadStatus::Gone) return false;
        if (s == ReadStatus::Ok) rec.status = parseProcStatus(std::string_view(small_.get(), len));
    }
    const bool wantCmdline =
        (parts & procpart::Cmdline) || ((parts & procpart::FullName) && rec.stat.comm.size() >= 15);
    if (wantCmdline) {
        const ReadStatus s = readFileAt(dirfd, "cmdline", cmdline_, kMaxPseudoFileSize, kWhole);
        if (s == ReadStatus::Gone) return false;
        if (s == ReadStatus::Ok) rec.cmdline = std::move(cmdline_);
    }
    if (parts & procpart::Exe) {
        // A kernel thread has no executable; that is not a vanished process.
        if (readLinkAt(dirfd, "exe", exe_) == ReadStatus::Ok) rec.exe = std::move(exe_);
    }
    if (parts & procpart::Fds) {
        constexpr int64_t kKernelThread = 0x00200000;  // PF_KTHREAD
        const auto flags = rec.stat.field(StatField::Flags);
        rec.fdCount = countFds(dirfd, flags && (*flags & kKernelThread));
    }
    if (parts & procpart::Io) {
        const ReadStatus s = readFileInto(dirfd, "io", small_.get(), kSmallFile, len, kWhole);
        if (s == ReadStatus::Ok) rec.io = parseProcIo(std::string_view(small_.get(), len));
    }
    return true;
}

std::optional<uint64_t> ProcReader::countFds(int dirfd, bool kernelThread) {
    if (fdSizeWorks_ < 0) {
        // Since Linux 6.2 the size of a fd directory is its number of
        // entries, which saves listing it. Our own has at least the /proc
        // descriptor open, so a size of 0 means the kernel does not count.
        struct stat self {};
        fdSizeWorks_ = fstatat(root_.get(), "self/fd", &self, 0) == 0 && self.st_size > 0 &&
                       S_ISDIR(self.st_mode);
    }
    if (fdSizeWorks_ == 1) {
        struct stat st {};
        if (fstatat(dirfd, "fd", &st, 0) != 0) return std::nullopt;
        if (st.st_size > 0) return static_cast<uint64_t>(st.st_size);
        // 0 is no descriptors (a kernel thread) or none we may see: asking
        // tells which in one call, where listing takes six. Every kernel
        // thread's directory belongs to root with the same mode, so one
        // answer serves them all.
        if (kernelThread) {
            if (kernelThreadFdsOpen_ < 0)
                kernelThreadFdsOpen_ = faccessat(dirfd, "fd", R_OK | X_OK, AT_EACCESS) == 0;
            return kernelThreadFdsOpen_ == 1 ? std::optional<uint64_t>(0) : std::nullopt;
        }
        if (faccessat(dirfd, "fd", R_OK | X_OK, AT_EACCESS) != 0) return std::nullopt;
        return 0;
    }
    DirFd fds = DirFd::open(dirfd, "fd");
    if (!fds.valid()) return std::nullopt;
    DIR* d = fdopendir(fds.get());
    if (!d) return std::nullopt;
    fds.release();  // closedir closes it
    uint64_t n = 0;
    while (struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
    }
    closedir(d);
    return n;
}

PidWalker::PidWalker(int dirfd, const char* path) {
    const int fd = ::openat(dirfd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    dir_ = fdopendir(fd);
    if (!dir_) ::close(fd);
}

PidWalker::~PidWalker() {
    if (dir_) closedir(dir_);
}

std::optional<int64_t> PidWalker::next() {
    if (!dir_) return std::nullopt;
    while (struct dirent* e = readdir(dir_)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        if (auto pid = parseUInt(e->d_name); pid && *pid <= INT32_MAX)
            return static_cast<int64_t>(*pid);
    }
    return std::nullopt;
}

}  // namespace wbem
