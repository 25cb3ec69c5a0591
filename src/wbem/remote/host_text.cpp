#include "host_text.h"

#include <algorithm>
#include <cctype>

#include "wbem/text.h"

namespace wbem::remote {

namespace {

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

bool validPath(std::string_view path) {
    return std::none_of(path.begin(), path.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '<' || c == '>' ||
               c == '\\' || c == '?' || c == '#';
    });
}

}  // namespace

std::optional<HostText> splitHostText(std::string_view text) {
    text = trimmed(text);
    HostText out;
    if (const size_t sep = text.find("://"); sep != std::string_view::npos) {
        out.scheme = lowered(text.substr(0, sep));
        if (out.scheme.empty() || !std::all_of(out.scheme.begin(), out.scheme.end(), [](char c) {
                return std::isalpha(static_cast<unsigned char>(c));
            }))
            return std::nullopt;
        text.remove_prefix(sep + 3);
    }
    std::string_view authority = text, path;
    if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
        if (out.scheme.empty()) return std::nullopt;
        authority = text.substr(0, slash);
        path = text.substr(slash);
        if (!validPath(path)) return std::nullopt;
    }
    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    std::string_view host = authority, port;
    bool ipv6 = false;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
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
    out.host = std::string(host);
    if (!port.empty()) {
        auto p = parsePort(port);
        if (!p) return std::nullopt;
        out.port = *p;
    }
    if (path != "/") out.path = std::string(path);
    return out;
}

std::string serverNameOf(std::string_view host) {
    std::string name(host);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return name;
}

}  // namespace wbem::remote
