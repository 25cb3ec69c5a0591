#include "endpoint.h"

#include "wbem/remote/host_text.h"

namespace wbem::cimxml {

std::string Endpoint::serverName() const { return remote::serverNameOf(target.host); }

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    auto parts = remote::splitHostText(text);
    if (!parts) return std::nullopt;
    Endpoint ep;
    // http(s) URLs are CIM-XML only on the WBEM ports 5988 and 5989.
    bool portRequired = false;
    if (parts->scheme == "cimxmls") {
        ep.target.tls = true, ep.target.port = 5989;
    } else if (parts->scheme == "cimxml") {
        ep.target.port = 5988;
    } else if (parts->scheme == "https") {
        ep.target.tls = true, portRequired = true;
    } else if (parts->scheme == "http") {
        portRequired = true;
    } else {
        return std::nullopt;
    }
    if (portRequired && parts->port != 5988 && parts->port != 5989) return std::nullopt;
    ep.target.host = std::move(parts->host);
    if (parts->port) ep.target.port = parts->port;
    if (!parts->path.empty()) ep.path = std::move(parts->path);
    return ep;
}

}  // namespace wbem::cimxml
