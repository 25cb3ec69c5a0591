#include "ui/connect_logic.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "wbem/text.h"
#include "wmi/bw_wmi.h"

namespace ui {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// Whether a hosts-file address names a computer: a valid IPv4 or IPv6 address,
// but not an IPv6 multicast group (ff00::/8) or a reserved prefix (fe00::/9)
// such as the ip6-localnet entry.
bool namesAComputer(std::string_view address) {
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return true;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return false;
    const uint8_t first = v6.s6_addr[0];
    const uint8_t second = v6.s6_addr[1];
    return first != 0xff && !(first == 0xfe && second < 0x80);
}

void addOnce(std::vector<std::string>& names, std::string_view name) {
    if (name.empty()) return;
    for (const std::string& known : names)
        if (wbem::iequals(known, name)) return;
    names.emplace_back(name);
}

}  // namespace

uint32_t HostAddress(const std::string& hostName) {
    uint32_t address = htonl(INADDR_LOOPBACK);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (!hostName.empty() && getaddrinfo(hostName.c_str(), nullptr, &hints, &found) == 0) {
        for (addrinfo* p = found; p; p = p->ai_next) {
            if (p->ai_family == AF_INET && p->ai_addr) {
                address = reinterpret_cast<const sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
                break;
            }
        }
        freeaddrinfo(found);
    }
    return address;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

uint32_t LocalHostAddress() { return HostAddress(LocalHostName()); }

std::string AddressToText(uint32_t networkOrderAddress) {
    const uint32_t a = ntohl(networkOrderAddress);
    return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xff) + '.' +
           std::to_string((a >> 8) & 0xff) + '.' + std::to_string(a & 0xff);
}

bool IsRemoteHost(std::string_view host, std::string_view localAddressText) {
    return host != "localhost" && host.substr(0, 7) != "127.0.0" && !host.empty() &&
           host != localAddressText;
}

std::vector<std::string> ParseHostsFile(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::vector<std::string_view> parts = fields(line);
        if (parts.size() < 2 || !namesAComputer(parts[0])) continue;
        for (size_t i = 1; i < parts.size(); ++i) addOnce(names, parts[i]);
    }
    return names;
}

std::vector<std::string> KnownComputers(std::string_view ownName,
                                        const std::vector<std::string>& history,
                                        const std::vector<std::string>& hostsFileNames) {
    std::vector<std::string> names;
    addOnce(names, wmi::Trimmed(ownName));
    for (const std::string& name : history) addOnce(names, wmi::Trimmed(name));
    for (const std::string& name : hostsFileNames) addOnce(names, wmi::Trimmed(name));
    return names;
}

ProtocolArea ProtocolAreaFor(std::string_view host, const settings::RemoteHostList& remembered,
                             const wbem::RemoteOptions& defaults, bool changedByHand) {
    ProtocolArea area;
    area.shown = !wmi::IsLocalHost(host);
    if (const settings::RemoteHostChoice* known = settings::FindRemoteHost(remembered, host))
        area.fill = known->options;
    else if (!changedByHand)
        area.fill = defaults;
    return area;
}

bool IsSkippedNamespace(std::string_view path) {
    for (std::string_view skipped : SkippedNamespaces)
        if (path == skipped) return true;
    return false;
}

std::vector<std::string> NamespaceNames(std::string_view answer) {
    std::vector<std::string> names;
    const std::string all = wmi::Trimmed(answer);
    std::string_view rest = all;
    for (;;) {
        const size_t cr = rest.find('\r');
        std::string name = wmi::Trimmed(rest.substr(0, cr));
        if (!name.empty()) names.push_back(std::move(name));
        if (cr == std::string_view::npos) break;
        rest = rest.substr(cr + 1);
    }
    return names;
}

std::string PathFromNodeTexts(const std::vector<std::string>& textsUpward) {
    std::string path;
    for (const std::string& text : textsUpward) path = text + '\\' + path;
    if (!path.empty()) path.pop_back();
    return path;
}

bool NeedsRebuild(const NamespaceTreeKey& built, const NamespaceTreeKey& wanted, int nodeCount) {
    return built.host != wanted.host || built.user != wanted.user ||
           built.password != wanted.password || nodeCount <= 1;
}

}  // namespace ui
