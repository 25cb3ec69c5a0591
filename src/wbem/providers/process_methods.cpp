#include "process_methods.h"

#include <fcntl.h>

#include "../errors.h"
#include "../text.h"
#include "accounts.h"
#include "file_reader.h"
#include "host_info.h"
#include "proc_parsers.h"

namespace wbem {

namespace {

// WMI's return values for these methods.
constexpr uint64_t kSuccess = 0, kAccessDenied = 2, kUnknownFailure = 8;

class ProcessMethods : public MethodProvider {
  public:
    explicit ProcessMethods(std::string procRoot) : procRoot_(std::move(procRoot)) {}

    bool implements(std::string_view method) const override {
        return iequals(method, "GetOwner") || iequals(method, "GetOwnerSid");
    }

    MethodResult invoke(const Instance* target, std::string_view method,
                        const std::vector<std::pair<std::string, CimValue>>&) const override {
        if (!target) fail(hr::InvalidMethod);  // instance methods, not the class's
        const CimValue* pid = target->find("ProcessId");
        if (!pid || pid->kind() != CimValue::Kind::UInt) fail(hr::InvalidObject);
        std::string text;
        const std::string path = procRoot_ + "/" + std::to_string(pid->asUInt()) + "/status";
        switch (readFileAt(AT_FDCWD, path.c_str(), text)) {
            case ReadStatus::Ok:
                break;
            case ReadStatus::Gone:
                fail(hr::NotFound);  // the process ended since it was found
            case ReadStatus::Denied:
                return {CimValue::uint(kAccessDenied), {}};
            case ReadStatus::Failed:
                return {CimValue::uint(kUnknownFailure), {}};
        }
        const ProcStatus status = parseProcStatus(text);
        const auto uid = status.effectiveUid ? status.effectiveUid : status.realUid;
        if (!uid) return {CimValue::uint(kUnknownFailure), {}};
        if (iequals(method, "GetOwnerSid"))
            return {CimValue::uint(kSuccess), {{"Sid", CimValue::string(userSid(*uid))}}};
        std::string user = std::to_string(*uid);
        if (auto passwd = readTextFile("/etc/passwd"))
            for (const PasswdEntry& e : parsePasswd(*passwd))
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
