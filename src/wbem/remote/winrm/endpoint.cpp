#include "endpoint.h"

#include "wbem/remote/host_text.h"

namespace wbem::winrm {

std::string Endpoint::url() const {
    const bool v6 = host.find(':') != std::string::npos;
    std::string u = tls ? "https://" : "http://";
    u += v6 ? "[" + host + "]" : host;
    u += ":" + std::to_string(port) + path;
    return u;
}

std::string Endpoint::serverName() const { return remote::serverNameOf(host); }

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    auto parts = remote::splitHostText(text);
    if (!parts) return std::nullopt;
    Endpoint ep;
    if (parts->scheme == "https") {
        ep.tls = true, ep.port = 5986;
    } else if (!parts->scheme.empty() && parts->scheme != "http") {
        return std::nullopt;
    }
    ep.host = std::move(parts->host);
    if (parts->port) ep.port = parts->port;
    if (!parts->path.empty()) ep.path = std::move(parts->path);
    return ep;
}

}  // namespace wbem::winrm
