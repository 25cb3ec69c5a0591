// Where a WinRM service listens, from the host text a user typed:
// NAME or NAME:PORT is WinRM's default HTTP listener; http:// and https://
// URLs are taken as written, with WinRM's default ports and path filled in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wbem::winrm {

struct Endpoint {
    bool tls = false;
    std::string host;  // without brackets for an IPv6 literal
    int port = 5985;
    std::string path = "/wsman";

    // http://host:port/path, with brackets around an IPv6 literal.
    std::string url() const;
    // The host as WMI reports a server (__SERVER): upper case.
    std::string serverName() const;
};

// Nullopt for text that is no host at all (blanks, a bad port, an unknown
// scheme, unbalanced brackets, user info or a query in the URL).
std::optional<Endpoint> parseEndpoint(std::string_view hostText);

}  // namespace wbem::winrm
