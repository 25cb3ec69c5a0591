#include "endpoint.h"

#include <algorithm>
#include <cctype>

#include "wbem/text.h"

namespace wbem::cimxml {

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

std::optional<int> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

bool validHost(std::string_view host, bool ipv6) {
    if (host.empty() || host.size() > 253) return false;
    if (ipv6 && host.find(':') == std::string_view::npos) return false;
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (ipv6 ? !(std::isxdigit(u) || c == ':' || c == '.' || c == '%')
                 : !(std::isalnum(u) || c == '-' || c == '.' || c == '_'))
            return false;
    }
    return true;
}

}  // namespace

std::string Endpoint::serverName() const {
    std::string name = target.host;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return name;
}

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    text = trimmed(text);
    Endpoint ep;
    bool portRequired = false;  // http(s) URLs are CIM-XML only on 5988 and 5989
    if (startsWithNoCase(text, "cimxmls://")) {
        ep.target.tls = true, ep.target.port = 5989;
        text.remove_prefix(10);
    } else if (startsWithNoCase(text, "cimxml://")) {
        ep.target.port = 5988;
        text.remove_prefix(9);
    } else if (startsWithNoCase(text, "https://")) {
        ep.target.tls = true, portRequired = true;
        text.remove_prefix(8);
    } else if (startsWithNoCase(text, "http://")) {
        portRequired = true;
        text.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    std::string_view authority = text, path;
    if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
        authority = text.substr(0, slash);
        path = text.substr(slash);
    }
    if (path.find_first_of("?#") != std::string_view::npos) return std::nullopt;
    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    std::string_view host = authority, port;
    bool ipv6 = false;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':' || rest.size() == 1) return std::nullopt;
            port = rest.substr(1);
        }
        ipv6 = true;
    } else if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (port.empty()) return std::nullopt;
    }
    if (!validHost(host, ipv6)) return std::nullopt;
    ep.target.host = std::string(host);
    if (!port.empty()) {
        auto p = parsePort(port);
        if (!p) return std::nullopt;
        ep.target.port = *p;
    }
    if (portRequired && ep.target.port != 5988 && ep.target.port != 5989) return std::nullopt;
    if (portRequired && port.empty()) return std::nullopt;
    if (!path.empty() && path != "/") {
        for (char c : path)
            if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '<' || c == '>' ||
                c == '\\')
                return std::nullopt;
        ep.path = std::string(path);
    }
    return ep;
}

}  // namespace wbem::cimxml
