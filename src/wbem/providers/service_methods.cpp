#include "service_methods.h"

#include <chrono>

#include "../errors.h"
#include "../text.h"
#include "subprocess.h"
#include "systemd_units.h"

namespace wbem {

namespace {

// Win32_Service's return values.
constexpr uint32_t kSuccess = 0, kNotSupported = 1, kAccessDenied = 2, kCannotAcceptControl = 5,
                   kRequestTimeout = 7, kUnknownFailure = 8, kDependencyFailure = 13,
                   kAlreadyRunning = 10, kDisabled = 14, kInvalidName = 20;

bool mentions(std::string_view text, std::string_view what) {
    if (what.size() > text.size()) return false;
    for (size_t i = 0; i + what.size() <= text.size(); ++i)
        if (iequals(text.substr(i, what.size()), what)) return true;
    return false;
}

class ServiceMethods : public MethodProvider {
  public:
    bool implements(std::string_view method) const override {
        return iequals(method, "StartService") || iequals(method, "StopService");
    }

    MethodResult invoke(const Instance* target, std::string_view method,
                        const std::vector<std::pair<std::string, CimValue>>&) const override {
        if (!target) fail(hr::InvalidMethod);
        const CimValue* name = target->find("Name");
        const CimValue* state = target->find("State");
        if (!name || name->kind() != CimValue::Kind::String) fail(hr::InvalidObject);
        auto returns = [](uint32_t code) { return MethodResult{CimValue::uint(code), {}}; };
        const std::string& unit = name->asString();
        if (unit.empty() || unit.front() == '-' || unit.find('/') != std::string::npos)
            return returns(kInvalidName);
        const bool start = iequals(method, "StartService");
        const std::string current =
            state && state->kind() == CimValue::Kind::String ? state->asString() : "";
        if (start && iequals(current, "Running")) return returns(kAlreadyRunning);
        if (!start && iequals(current, "Stopped")) return returns(kCannotAcceptControl);
        if (!systemdRunning()) return returns(kNotSupported);
        const ProgramRun run = runProgramOutcome(
            {"systemctl", "--no-ask-password", start ? "start" : "stop", "--", unit + ".service"},
            std::chrono::seconds(90), true);
        return returns(serviceControlResult(run));
    }
};

}  // namespace

uint32_t serviceControlResult(const ProgramRun& run) {
    if (run.exitCode == 0) return kSuccess;
    if (run.timedOut) return kRequestTimeout;
    const std::string_view said = run.output;
    if (mentions(said, "Access denied") || mentions(said, "authentication required") ||
        mentions(said, "Permission denied") || mentions(said, "not authorized"))
        return kAccessDenied;
    if (mentions(said, "is masked")) return kDisabled;
    if (mentions(said, "dependency")) return kDependencyFailure;
    return kUnknownFailure;
}

std::shared_ptr<const MethodProvider> makeServiceMethods() {
    return std::make_shared<ServiceMethods>();
}

}  // namespace wbem
