#include "remote_options.h"

#include "text.h"

namespace wbem {

namespace {
constexpr std::string_view names[] = {"negotiate", "basic", "kerberos", "ntlm"};
}

std::optional<AuthMethod> parseAuthMethod(std::string_view text) {
    for (size_t i = 0; i < std::size(names); ++i)
        if (iequals(trimmed(text), names[i])) return static_cast<AuthMethod>(i);
    return std::nullopt;
}

std::string_view authMethodName(AuthMethod method) { return names[static_cast<size_t>(method)]; }

}  // namespace wbem
