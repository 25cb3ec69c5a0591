// How a connection to a remote host is made: authentication method, trust
// and time limits. Passed to ISWbemLocator::ConnectServer as its context, as
// WMI callers pass a named-value set; the embedded service ignores it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "api.h"

namespace wbem {

enum class AuthMethod : uint8_t { Negotiate, Basic, Kerberos, Ntlm };

// "negotiate", "basic", "kerberos", "ntlm" (letter case ignored); nullopt otherwise.
std::optional<AuthMethod> parseAuthMethod(std::string_view text);
std::string_view authMethodName(AuthMethod method);

class RemoteOptions : public IDispatchLike {
  public:
    AuthMethod auth = AuthMethod::Negotiate;
    std::string caFile;             // extra trusted CA certificates (PEM); empty: system CAs only
    bool allowUnencrypted = false;  // Basic over plain HTTP
    // Authentication level 6 (Packet Privacy): nothing goes unencrypted, so
    // Basic over plain HTTP is refused even with allowUnencrypted.
    bool requirePrivacy = false;
    int32_t connectTimeoutMs = 15000;
    int32_t operationTimeoutMs = 60000;
};

}  // namespace wbem
