#include "errors.h"

#include <cstdio>

#include "text.h"

namespace wbem {

namespace {

struct Entry {
    HResult code;
    const char* text;
};

// The descriptions WMI itself gives for these codes.
constexpr Entry kTable[] = {
    {hr::ClassNotRegistered, "Class not registered"},
    {hr::AccessDeniedSystem, "Access is denied."},
    {hr::RpcUnavailable, "The RPC server is unavailable."},
    {hr::Failed, "Generic failure"},
    {hr::NotFound, "Not found"},
    {hr::AccessDenied, "Access denied"},
    {hr::ProviderFailure, "Provider failure"},
    {hr::TypeMismatch, "Type mismatch"},
    {hr::OutOfMemory, "Out of memory"},
    {hr::InvalidContext, "Invalid context"},
    {hr::InvalidParameter, "Invalid parameter"},
    {hr::NotAvailable, "Not available"},
    {hr::CriticalError, "Critical error"},
    {hr::NotSupported, "Not supported"},
    {hr::InvalidSuperclass, "Invalid superclass"},
    {hr::InvalidNamespace, "Invalid namespace"},
    {hr::InvalidObject, "Invalid object"},
    {hr::InvalidClass, "Invalid class"},
    {hr::ProviderNotFound, "Provider not found"},
    {hr::ProviderLoadFailure, "Provider load failure"},
    {hr::InvalidOperation, "Invalid operation"},
    {hr::InvalidQuery, "Invalid query"},
    {hr::InvalidQueryType, "Invalid query type"},
    {hr::AlreadyExists, "Already exists"},
    {hr::InvalidMethod, "Invalid method"},
    {hr::MethodNotImplemented, "Method not implemented"},
    {hr::CallCancelled, "Call cancelled"},
    {hr::LocalCredentials, "User credentials cannot be used for local connections"},
    {hr::SecureFailure, "A security error occurred"},
};

}  // namespace

std::string describe(HResult code) {
    for (const Entry& e : kTable)
        if (e.code == code) return e.text;
    return {};
}

std::string hexCode(HResult code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(code));
    return buf;
}

static std::string messageFor(HResult code) {
    std::string text = describe(code);
    return text.empty() ? "Error " + hexCode(code) : text;
}

std::string describeWithReason(HResult code, std::string_view reason) {
    std::string text = messageFor(code);
    if (reason.empty()) return text;
    // A reason that already opens with the description (a peer that speaks
    // WMI's words) is not to be said twice.
    std::string_view base = text;
    while (!base.empty() && base.back() == '.') base.remove_suffix(1);
    if (reason.size() >= base.size() && iequals(reason.substr(0, base.size()), base))
        return std::string(reason);
    text += text.back() == '.' ? " " : ". ";
    text += reason;
    return text;
}

WbemError::WbemError(HResult code) : std::runtime_error(messageFor(code)), code_(code) {}

WbemError::WbemError(HResult code, const std::string& description)
    : std::runtime_error(description), code_(code) {}

void fail(HResult code) { throw WbemError(code); }
void fail(HResult code, const std::string& description) { throw WbemError(code, description); }

}  // namespace wbem
