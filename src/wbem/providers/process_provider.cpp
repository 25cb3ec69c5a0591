// Win32_Process: one instance per /proc/<pid>, read as the cursor advances.
#include "process_provider.h"

#include <array>

#include "parse_util.h"
#include "proc_source.h"
#include "proc_tree_provider.h"
#include "record_mapper.h"

namespace wbem {

uint32_t windowsPriority(int64_t nice, int64_t rtPriority, int64_t policy) {
    constexpr int64_t kFifo = 1, kRoundRobin = 2;
    if ((policy == kFifo || policy == kRoundRobin) && rtPriority > 0) {
        const int64_t p = rtPriority > 99 ? 99 : rtPriority;
        return static_cast<uint32_t>(16 + (p * 15 + 98) / 99);
    }
    if (nice < -20) nice = -20;
    if (nice > 19) nice = 19;
    // Round half away from zero so that the ends land on 15 and 1.
    const int64_t scaled = nice * 7;
    const int64_t step = scaled >= 0 ? (scaled + 10) / 20 : -((-scaled + 10) / 20);
    return static_cast<uint32_t>(8 - step);
}

uint16_t executionState(char state) {
    switch (state) {
        case 'R':
            return 3;  // Running
        case 'S':
        case 'D':
        case 'I':
        case 'W':
            return 4;  // Blocked: waiting for an event
        case 'T':
        case 't':
            return 8;  // Stopped
        case 'Z':
        case 'X':
        case 'x':
            return 7;  // Terminated
        default:
            return 0;  // Unknown
    }
}

namespace {

using R = ProcessRecord;
namespace pp = procpart;

std::optional<uint64_t> statU(const R& r, StatField f) {
    auto v = r.stat.field(f);
    if (!v || *v < 0) return std::nullopt;
    return static_cast<uint64_t>(*v);
}

std::optional<uint64_t> kbToBytes(const std::optional<uint64_t>& kb) {
    if (!kb) return std::nullopt;
    return *kb * 1024;
}

std::optional<uint64_t> privateKb(const R& r) {
    if (!r.status || !r.status->rssAnonKb) return std::nullopt;
    return *r.status->rssAnonKb + r.status->vmSwapKb.value_or(0);
}

CimValue nameValue(const R& r) { return CimValue::string(r.name()); }

const Column<R> kProcessColumns[] = {
    {"Caption", pp::Stat | pp::FullName, nameValue},
    {"CommandLine", pp::Cmdline,
     [](const R& r) {
         if (!r.cmdline || r.cmdline->empty()) return CimValue();
         return textValue(joinCommandLine(*r.cmdline));
     }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_Process"); }},
    {"CreationDate", pp::Stat,
     [](const R& r) {
         auto d = r.creationDate();
         return d ? CimValue::string(std::move(*d)) : CimValue();
     }},
    {"CSCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"CSName", 0, [](const R& r) { return constText(r.ctx->computerName()); }},
    {"Description", pp::Stat | pp::FullName, nameValue},
    {"ExecutablePath", pp::Exe, [](const R& r) { return textValue(r.exe); }},
    {"ExecutionState", pp::Stat,
     [](const R& r) { return CimValue::uint(executionState(r.stat.state)); }},
    {"Handle", pp::Stat, [](const R& r) { return CimValue::string(std::to_string(r.pid)); }},
    {"HandleCount", pp::Fds, [](const R& r) { return uint32Value(r.fdCount); }},
    {"KernelModeTime", pp::Stat,
     [](const R& r) { return uintValue(r.ticksTo100ns(StatField::STime)); }},
    {"Name", pp::Stat | pp::FullName, nameValue},
    {"OSCreationClassName", 0, [](const R&) { return constText("Win32_OperatingSystem"); }},
    {"OSName", 0, [](const R& r) { return constText(r.ctx->osName()); }},
    {"PageFaults", pp::Stat,
     [](const R& r) {
         auto minor = statU(r, StatField::MinFlt), major = statU(r, StatField::MajFlt);
         if (!minor || !major) return CimValue();
         return uint32Value(*minor + *major);
     }},
    {"PageFileUsage", pp::Status, [](const R& r) { return uint32Value(privateKb(r)); }},
    {"ParentProcessId", pp::Stat,
     [](const R& r) { return uint32Value(statU(r, StatField::Ppid)); }},
    {"PeakVirtualSize", pp::Status,
     [](const R& r) { return uintValue(kbToBytes(r.status ? r.status->vmPeakKb : std::nullopt)); }},
    {"PeakWorkingSetSize", pp::Status,
     [](const R& r) { return uint32Value(r.status ? r.status->vmHwmKb : std::nullopt); }},
    {"Priority", pp::Stat,
     [](const R& r) {
         auto nice = r.stat.field(StatField::Nice);
         if (!nice) return CimValue();
         return CimValue::uint(windowsPriority(*nice,
                                               r.stat.field(StatField::RtPriority).value_or(0),
                                               r.stat.field(StatField::Policy).value_or(0)));
     }},
    {"PrivatePageCount", pp::Status, [](const R& r) { return uintValue(kbToBytes(privateKb(r))); }},
    {"ProcessId", pp::Stat,
     [](const R& r) { return CimValue::uint(static_cast<uint64_t>(r.pid)); }},
    {"ReadOperationCount", pp::Io,
     [](const R& r) { return uintValue(r.io ? r.io->syscr : std::nullopt); }},
    {"ReadTransferCount", pp::Io,
     [](const R& r) { return uintValue(r.io ? r.io->rchar : std::nullopt); }},
    {"SessionId", pp::Stat, [](const R& r) { return uint32Value(statU(r, StatField::Session)); }},
    {"ThreadCount", pp::Stat,
     [](const R& r) { return uint32Value(statU(r, StatField::NumThreads)); }},
    {"UserModeTime", pp::Stat,
     [](const R& r) { return uintValue(r.ticksTo100ns(StatField::UTime)); }},
    {"VirtualSize", pp::Stat, [](const R& r) { return uintValue(statU(r, StatField::VSize)); }},
    {"WindowsVersion", 0, [](const R& r) { return constText(r.ctx->kernelRelease()); }},
    {"WorkingSetSize", pp::Stat,
     [](const R& r) {
         auto rss = statU(r, StatField::Rss);
         if (!rss) return CimValue();
         return CimValue::uint(*rss * static_cast<uint64_t>(r.ctx->pageSize()));
     }},
    {"WriteOperationCount", pp::Io,
     [](const R& r) { return uintValue(r.io ? r.io->syscw : std::nullopt); }},
    {"WriteTransferCount", pp::Io,
     [](const R& r) { return uintValue(r.io ? r.io->wchar : std::nullopt); }},
};

// The one process a key condition names, when it names one: Handle = "123"
// or ProcessId = 123. Anything else walks all processes.
std::optional<int64_t> narrowedPid(const QueryHints& hints) {
    if (const CimValue* h = hints.equalTo("Handle")) {
        if (h->kind() == CimValue::Kind::String) {
            if (auto pid = parseCanonicalUInt(h->asString()); pid && *pid <= INT32_MAX)
                return static_cast<int64_t>(*pid);
        }
    }
    if (const CimValue* p = hints.equalTo("ProcessId")) {
        if (p->kind() == CimValue::Kind::UInt && p->asUInt() <= INT32_MAX)
            return static_cast<int64_t>(p->asUInt());
        if (p->kind() == CimValue::Kind::SInt && p->asSInt() >= 0 && p->asSInt() <= INT32_MAX)
            return p->asSInt();
    }
    return std::nullopt;
}

class ProcessCursor : public InstanceCursor {
  public:
    using Record = R;
    static std::span<const Column<R>> columns() { return kProcessColumns; }

    ProcessCursor(RecordMapper<R> mapper, const QueryHints& hints, const std::string& root,
                  const std::string& nspace)
        : mapper_(std::move(mapper)), ctx_(root, nspace), reader_(root), only_(narrowedPid(hints)) {
        if (!only_ && reader_.valid()) walker_.emplace(reader_.rootFd(), ".");
        rec_.ctx = &ctx_;
    }

    std::shared_ptr<const Instance> next() override {
        if (only_) {
            if (onlyDone_) return nullptr;
            onlyDone_ = true;
            // /proc also answers for a thread id, which is not a process:
            // the thread group id tells them apart.
            if (!reader_.valid() ||
                !reader_.readProcess(*only_, mapper_.needs() | procpart::Status, rec_))
                return nullptr;
            if (rec_.status && rec_.status->tgid && *rec_.status->tgid != *only_) return nullptr;
            return mapper_.build(rec_);
        }
        if (!walker_) return nullptr;
        while (auto pid = walker_->next()) {
            // A process that exits between the listing and the read is skipped.
            if (reader_.readProcess(*pid, mapper_.needs(), rec_)) return mapper_.build(rec_);
        }
        return nullptr;
    }

  private:
    RecordMapper<R> mapper_;
    ProcessContext ctx_;
    ProcReader reader_;
    std::optional<int64_t> only_;
    bool onlyDone_ = false;
    std::optional<PidWalker> walker_;
    R rec_;
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeProcessProvider(std::string nspace,
                                                            std::string procRoot) {
    return std::make_shared<ProcTreeProvider<ProcessCursor>>(std::move(nspace),
                                                             std::move(procRoot));
}

}  // namespace wbem
