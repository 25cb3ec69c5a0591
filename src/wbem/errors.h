// Failures of the WMI service: one exception type carrying the HRESULT and
// WMI's own description of it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wbem {

using HResult = uint32_t;

namespace hr {
inline constexpr HResult Ok = 0;
inline constexpr HResult False = 1;
inline constexpr HResult ClassNotRegistered = 0x80040154;
inline constexpr HResult AccessDeniedSystem = 0x80070005;
inline constexpr HResult RpcUnavailable = 0x800706BA;
inline constexpr HResult Failed = 0x80041001;
inline constexpr HResult NotFound = 0x80041002;
inline constexpr HResult AccessDenied = 0x80041003;
inline constexpr HResult ProviderFailure = 0x80041004;
inline constexpr HResult TypeMismatch = 0x80041005;
inline constexpr HResult OutOfMemory = 0x80041006;
inline constexpr HResult InvalidContext = 0x80041007;
inline constexpr HResult InvalidParameter = 0x80041008;
inline constexpr HResult NotAvailable = 0x80041009;
inline constexpr HResult CriticalError = 0x8004100A;
inline constexpr HResult NotSupported = 0x8004100C;
inline constexpr HResult InvalidSuperclass = 0x8004100D;
inline constexpr HResult InvalidNamespace = 0x8004100E;
inline constexpr HResult InvalidObject = 0x8004100F;
inline constexpr HResult InvalidClass = 0x80041010;
inline constexpr HResult ProviderNotFound = 0x80041011;
inline constexpr HResult ProviderLoadFailure = 0x80041013;
inline constexpr HResult InvalidOperation = 0x80041016;
inline constexpr HResult InvalidQuery = 0x80041017;
inline constexpr HResult InvalidQueryType = 0x80041018;
inline constexpr HResult AlreadyExists = 0x80041019;
inline constexpr HResult InvalidMethod = 0x8004102E;
inline constexpr HResult MethodNotImplemented = 0x80041055;
inline constexpr HResult CallCancelled = 0x80041032;
inline constexpr HResult LocalCredentials = 0x80041064;
// A TLS peer whose certificate does not verify (WinINet's security failure).
inline constexpr HResult SecureFailure = 0x80072F8F;
}  // namespace hr

// WMI's description of a code ("Invalid class"), or an empty text for a code
// the table does not know.
std::string describe(HResult code);

// Code as WMI prints it: "0x80041010".
std::string hexCode(HResult code);

class WbemError : public std::runtime_error {
  public:
    // The message is the code's description from the table.
    explicit WbemError(HResult code);
    // A description of the caller's own (a MOF syntax error with its position, ...).
    WbemError(HResult code, const std::string& description);

    HResult code() const { return code_; }

  private:
    HResult code_;
};

// WMI's description of the code followed by a reason of the caller's (a
// remote server's own fault text, ...): "Invalid class. No such class here."
std::string describeWithReason(HResult code, std::string_view reason);

[[noreturn]] void fail(HResult code);
[[noreturn]] void fail(HResult code, const std::string& description);

}  // namespace wbem
