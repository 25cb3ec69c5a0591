// The parts of the host text a user types for a remote host: an optional
// scheme, the host (an IPv6 literal in brackets), an optional port and path.
// Each back end gives the parts its own defaults.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wbem::remote {

struct HostText {
    std::string scheme;  // lowered; empty when the text has none
    std::string host;    // without the brackets of an IPv6 literal
    int port = 0;        // 0 when not given
    std::string path;    // empty when not given; never given without a scheme
};

// Nullopt for text that is no host at all: blanks, unbalanced brackets, a bad
// port, user info, a query or fragment, a path without a scheme, characters no
// host name or path has.
std::optional<HostText> splitHostText(std::string_view text);

// The host as WMI reports a server (__SERVER): upper case.
std::string serverNameOf(std::string_view host);

}  // namespace wbem::remote
