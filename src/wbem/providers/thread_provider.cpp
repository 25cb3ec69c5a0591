// Win32_Thread: the tasks under /proc/<pid>/task, streamed process by process.
#include <ctime>

#include "parse_util.h"
#include "proc_source.h"
#include "proc_tree_provider.h"
#include "process_provider.h"
#include "record_mapper.h"

namespace wbem {

namespace {

using R = ProcessRecord;
namespace pp = procpart;

// Win32_Thread.ThreadState: 2 running, 5 waiting, 4 terminated, 7 unknown.
uint32_t threadState(char s) {
    switch (s) {
        case 'R':
            return 2;
        case 'S':
        case 'D':
        case 'I':
        case 'T':
        case 't':
        case 'W':
            return 5;
        case 'Z':
        case 'X':
        case 'x':
            return 4;
        default:
            return 7;
    }
}

std::optional<uint64_t> ticksToMs(const R& r, StatField f) {
    auto t = r.stat.field(f);
    if (!t || *t < 0) return std::nullopt;
    return static_cast<uint64_t>(*t) * 1000 / static_cast<uint64_t>(r.ctx->clockTicks());
}

CimValue priority(const R& r) {
    auto nice = r.stat.field(StatField::Nice);
    if (!nice) return CimValue();
    return CimValue::uint(windowsPriority(*nice, r.stat.field(StatField::RtPriority).value_or(0),
                                          r.stat.field(StatField::Policy).value_or(0)));
}

const Column<R> kThreadColumns[] = {
    {"Caption", pp::Stat, [](const R& r) { return textValue(r.stat.comm); }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_Thread"); }},
    {"CSCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"CSName", 0, [](const R& r) { return constText(r.ctx->computerName()); }},
    {"ElapsedTime", pp::Stat,
     [](const R& r) {
         auto start = r.stat.field(StatField::StartTime);
         auto boot = r.ctx->bootTime();
         if (!start || !boot) return CimValue();
         struct timespec now {};
         clock_gettime(CLOCK_REALTIME, &now);
         const int64_t startMs = *boot * 1000 + *start * 1000 / r.ctx->clockTicks();
         const int64_t nowMs = int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
         return CimValue::uint(static_cast<uint64_t>(nowMs > startMs ? nowMs - startMs : 0));
     }},
    {"ExecutionState", pp::Stat,
     [](const R& r) {
         const uint16_t s = executionState(r.stat.state);
         return CimValue::uint(s <= 6 ? s : 0);  // CIM_Thread knows no "Terminated"
     }},
    {"Handle", 0, [](const R& r) { return CimValue::string(std::to_string(r.pid)); }},
    {"KernelModeTime", pp::Stat,
     [](const R& r) { return uintValue(ticksToMs(r, StatField::STime)); }},
    {"Name", pp::Stat, [](const R& r) { return textValue(r.stat.comm); }},
    {"OSCreationClassName", 0, [](const R&) { return constText("Win32_OperatingSystem"); }},
    {"OSName", 0, [](const R& r) { return constText(r.ctx->osName()); }},
    {"Priority", pp::Stat, priority},
    {"PriorityBase", pp::Stat, priority},
    {"ProcessCreationClassName", 0, [](const R&) { return constText("Win32_Process"); }},
    {"ProcessHandle", 0, [](const R& r) { return CimValue::string(std::to_string(r.tgid)); }},
    {"ThreadState", pp::Stat, [](const R& r) { return CimValue::uint(threadState(r.stat.state)); }},
    {"UserModeTime", pp::Stat,
     [](const R& r) { return uintValue(ticksToMs(r, StatField::UTime)); }},
};

std::optional<int64_t> canonicalId(const QueryHints& hints, const char* property) {
    const CimValue* v = hints.equalTo(property);
    if (!v || v->kind() != CimValue::Kind::String) return std::nullopt;
    auto n = parseCanonicalUInt(v->asString());
    if (!n || *n > INT32_MAX) return std::nullopt;
    return static_cast<int64_t>(*n);
}

class ThreadCursor : public InstanceCursor {
  public:
    using Record = R;
    static std::span<const Column<R>> columns() { return kThreadColumns; }

    ThreadCursor(RecordMapper<R> mapper, const QueryHints& hints, const std::string& root,
                 const std::string& nspace)
        : mapper_(std::move(mapper)), ctx_(root, nspace), reader_(root) {
        rec_.ctx = &ctx_;
        onlyProcess_ = canonicalId(hints, "ProcessHandle");
        onlyThread_ = canonicalId(hints, "Handle");
        if (onlyThread_ && !onlyProcess_) {
            // /proc/<tid> answers for any thread; its Tgid names the process.
            ProcessRecord probe;
            probe.ctx = &ctx_;
            if (reader_.valid() && reader_.readProcess(*onlyThread_, procpart::Status, probe) &&
                probe.status && probe.status->tgid)
                onlyProcess_ = *probe.status->tgid;
            else
                done_ = true;
        }
        if (!done_ && !onlyProcess_ && reader_.valid()) processes_.emplace(reader_.rootFd(), ".");
    }

    std::shared_ptr<const Instance> next() override {
        while (!done_) {
            if (!tasks_) {
                std::optional<int64_t> pid;
                if (onlyProcess_) {
                    if (onlyProcessTaken_) break;
                    onlyProcessTaken_ = true;
                    pid = onlyProcess_;
                } else if (processes_) {
                    pid = processes_->next();
                }
                if (!pid) break;
                pid_ = *pid;
                tasks_.emplace(reader_.rootFd(), (std::to_string(pid_) + "/task").c_str());
            }
            auto tid = tasks_->next();
            if (!tid) {
                tasks_.reset();
                continue;
            }
            if (onlyThread_ && *tid != *onlyThread_) continue;
            // A thread that ends during the walk is skipped.
            if (reader_.readThread(pid_, *tid, mapper_.needs(), rec_)) return mapper_.build(rec_);
        }
        done_ = true;
        return nullptr;
    }

  private:
    RecordMapper<R> mapper_;
    ProcessContext ctx_;
    ProcReader reader_;
    R rec_;
    std::optional<int64_t> onlyProcess_, onlyThread_;
    bool onlyProcessTaken_ = false;
    bool done_ = false;
    std::optional<PidWalker> processes_, tasks_;
    int64_t pid_ = 0;
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeThreadProvider(std::string nspace,
                                                           std::string procRoot) {
    return std::make_shared<ProcTreeProvider<ThreadCursor>>(std::move(nspace), std::move(procRoot));
}

}  // namespace wbem
