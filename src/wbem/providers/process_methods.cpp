#include "process_methods.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "../errors.h"
#include "../text.h"
#include "accounts.h"
#include "file_reader.h"
#include "host_info.h"
#include "proc_parsers.h"
#include "process_start.h"

namespace wbem {

namespace {

// WMI's return values for these methods.
constexpr uint64_t kSuccess = 0, kAccessDenied = 2, kInsufficientPrivilege = 3, kUnknownFailure = 8,
                   kPathNotFound = 9, kInvalidParameter = 21;

MethodResult returns(uint64_t code) { return {CimValue::uint(code), {}}; }

const CimValue* argument(const std::vector<std::pair<std::string, CimValue>>& in,
                         std::string_view name) {
    for (const auto& [n, v] : in)
        if (iequals(n, name) && !v.isNull()) return &v;
    return nullptr;
}

// What a failed step's errno means to a caller of Create.
uint64_t startFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
            return kPathNotFound;
        case EACCES:
        case EPERM:
            return kAccessDenied;
        case EINVAL:
            return kInvalidParameter;
        default:
            return kUnknownFailure;
    }
}

// The nice value of each of WMI's priority classes.
std::optional<int> niceOfPriorityClass(int64_t priorityClass) {
    switch (priorityClass) {
        case 64:
            return 19;  // Idle
        case 16384:
            return 10;  // Below Normal
        case 32:
            return 0;  // Normal
        case 32768:
            return -5;  // Above Normal
        case 128:
            return -10;  // High Priority
        case 256:
            return -20;  // Realtime
        default:
            return std::nullopt;
    }
}

MethodResult create(const std::vector<std::pair<std::string, CimValue>>& in) {
    const CimValue* line = argument(in, "CommandLine");
    if (!line) return returns(kInvalidParameter);
    auto words = splitCommandLine(line->asString());
    if (!words || words->empty()) return returns(kInvalidParameter);
    const CimValue* dir = argument(in, "CurrentDirectory");
    const StartOutcome started = startDetached(*words, dir ? dir->asString() : std::string());
    if (started.error) return returns(startFailure(started.error));
    return {CimValue::uint(kSuccess), {{"ProcessId", CimValue::uint(uint64_t(started.pid))}}};
}

// Terminate sends SIGTERM and hands the reason code along with it, where a
// handler installed with SA_SIGINFO can read it (si_value).
MethodResult terminate(pid_t pid, const std::vector<std::pair<std::string, CimValue>>& in) {
    const CimValue* reason = argument(in, "Reason");
    sigval value{};
    value.sival_int = reason ? int(reason->asUInt()) : 0;
    if (::sigqueue(pid, SIGTERM, value) == 0) return returns(kSuccess);
    if (errno == ESRCH) fail(hr::NotFound);  // ended since it was found
    return returns(errno == EPERM ? kAccessDenied : kUnknownFailure);
}

// Nice values belong to threads on Linux: each thread of the process gets the
// new one. The kernel decides what the caller may do: another user's process
// is refused (EPERM), a lower nice value without the privilege too (EACCES).
MethodResult setPriority(pid_t pid, const std::string& procRoot,
                         const std::vector<std::pair<std::string, CimValue>>& in) {
    const CimValue* priority = argument(in, "Priority");
    const auto nice = priority ? niceOfPriorityClass(priority->asSInt()) : std::nullopt;
    if (!nice) return returns(kInvalidParameter);
    std::vector<id_t> threads;
    const std::string tasks = procRoot + "/" + std::to_string(pid) + "/task";
    if (DIR* d = ::opendir(tasks.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] >= '0' && e->d_name[0] <= '9')
                threads.push_back(id_t(std::atol(e->d_name)));
        ::closedir(d);
    }
    if (threads.empty()) threads.push_back(id_t(pid));
    for (id_t tid : threads) {
        if (::setpriority(PRIO_PROCESS, tid, *nice) == 0) continue;
        if (errno == ESRCH && tid != id_t(pid)) continue;  // a thread that ended meanwhile
        if (errno == ESRCH) fail(hr::NotFound);
        return returns(errno == EPERM    ? kAccessDenied
                       : errno == EACCES ? kInsufficientPrivilege
                                         : kUnknownFailure);
    }
    return returns(kSuccess);
}

class ProcessMethods : public MethodProvider {
  public:
    explicit ProcessMethods(std::string procRoot) : procRoot_(std::move(procRoot)) {}

    bool implements(std::string_view method) const override {
        for (const char* m : {"GetOwner", "GetOwnerSid", "Create", "Terminate", "SetPriority"})
            if (iequals(method, m)) return true;
        return false;
    }

    bool readsOnly(std::string_view method) const override {
        return iequals(method, "GetOwner") || iequals(method, "GetOwnerSid");
    }

    MethodResult invoke(const Instance* target, std::string_view method,
                        const std::vector<std::pair<std::string, CimValue>>& in) const override {
        if (iequals(method, "Create")) return create(in);
        if (!target) fail(hr::InvalidMethod);  // instance methods, not the class's
        const CimValue* pid = target->find("ProcessId");
        if (!pid || pid->kind() != CimValue::Kind::UInt) fail(hr::InvalidObject);
        if (iequals(method, "Terminate")) return terminate(pid_t(pid->asUInt()), in);
        if (iequals(method, "SetPriority")) return setPriority(pid_t(pid->asUInt()), procRoot_, in);
        std::string text;
        const std::string path = procRoot_ + "/" + std::to_string(pid->asUInt()) + "/status";
        switch (readFileAt(AT_FDCWD, path.c_str(), text)) {
            case ReadStatus::Ok:
                break;
            case ReadStatus::Gone:
                fail(hr::NotFound);  // the process ended since it was found
            case ReadStatus::Denied:
                return returns(kAccessDenied);
            case ReadStatus::Failed:
                return returns(kUnknownFailure);
        }
        const ProcStatus status = parseProcStatus(text);
        const auto uid = status.effectiveUid ? status.effectiveUid : status.realUid;
        if (!uid) return returns(kUnknownFailure);
        if (iequals(method, "GetOwnerSid"))
            return {CimValue::uint(kSuccess), {{"Sid", CimValue::string(userSid(*uid))}}};
        std::string user = std::to_string(*uid);
        for (const PasswdEntry& e : readPasswd())
            if (e.uid == *uid) {
                user = e.name;
                break;
            }
        return {CimValue::uint(kSuccess),
                {{"User", CimValue::string(user)}, {"Domain", CimValue::string(computerName())}}};
    }

  private:
    std::string procRoot_;
};

}  // namespace

std::shared_ptr<const MethodProvider> makeProcessMethods(std::string procRoot) {
    return std::make_shared<ProcessMethods>(std::move(procRoot));
}

}  // namespace wbem
