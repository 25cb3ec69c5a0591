// Where a CIM-XML (WBEM) server listens, from the host text a user typed:
// cimxml://NAME[:PORT] (HTTP, 5988 by default), cimxmls://NAME[:PORT]
// (HTTPS, 5989), or an http(s) URL on port 5988 or 5989. The path is
// /cimom unless the URL gives one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "wbem/remote/http/http_client.h"

namespace wbem::cimxml {

struct Endpoint {
    http::Target target;
    std::string path = "/cimom";

    std::string url() const { return target.origin() + path; }
    // The host as WMI reports a server (__SERVER): upper case.
    std::string serverName() const;
};

// Nullopt for text that is no such address (another scheme, a bad port,
// unbalanced brackets, user info, a query or fragment).
std::optional<Endpoint> parseEndpoint(std::string_view hostText);

}  // namespace wbem::cimxml
