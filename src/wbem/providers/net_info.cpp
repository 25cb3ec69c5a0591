#include "net_info.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "../text.h"
#include "file_reader.h"
#include "parse_util.h"

namespace wbem {

ResolvConf parseResolvConf(std::string_view text) {
    ResolvConf rc;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        if (const size_t hash = line.find_first_of("#;"); hash != std::string_view::npos)
            line = line.substr(0, hash);
        Words words(line);
        std::string_view key, v;
        if (!words.next(key)) continue;
        if (key == "nameserver") {
            if (words.next(v)) rc.nameservers.push_back(sanitizeUtf8(v));
        } else if (key == "domain") {
            if (words.next(v)) rc.domain = sanitizeUtf8(v);
        } else if (key == "search") {
            rc.search.clear();  // the last search line wins, as in the resolver
            while (words.next(v)) rc.search.push_back(sanitizeUtf8(v));
        }
    }
    if (rc.domain.empty() && !rc.search.empty()) rc.domain = rc.search[0];
    return rc;
}

std::map<std::string, std::vector<std::string>> parseIpv4DefaultRoutes(std::string_view text) {
    std::map<std::string, std::vector<std::string>> out;
    Splitter lines(text, '\n');
    std::string_view line;
    bool header = true;
    while (lines.next(line)) {
        if (header) {
            header = false;
            continue;
        }
        Words words(line);
        std::string_view iface, dest, gw, flags, w, mask;
        if (!words.next(iface) || !words.next(dest) || !words.next(gw) || !words.next(flags))
            continue;
        for (int i = 0; i < 3; ++i) words.next(w);  // RefCnt Use Metric
        if (!words.next(mask)) continue;
        if (dest != "00000000" || mask != "00000000" || gw.size() != 8) continue;
        uint32_t raw = 0;
        bool ok = true;
        for (char c : gw) {
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                             : -1;
            if (d < 0) ok = false;
            raw = raw << 4 | static_cast<uint32_t>(d & 15);
        }
        if (!ok || raw == 0) continue;
        // The kernel prints the network-order address as a host integer, so
        // its bytes in memory are the address's bytes in order.
        uint8_t b[4];
        std::memcpy(b, &raw, 4);
        char buf[INET_ADDRSTRLEN];
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        auto& list = out[sanitizeUtf8(iface)];
        if (std::find(list.begin(), list.end(), buf) == list.end()) list.push_back(buf);
    }
    return out;
}

std::map<std::string, std::vector<std::string>> parseIpv6DefaultRoutes(std::string_view text) {
    std::map<std::string, std::vector<std::string>> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        // dest destlen src srclen nexthop metric refcnt use flags iface
        Words words(line);
        std::string_view f[10];
        bool ok = true;
        for (auto& x : f) ok = ok && words.next(x);
        if (!ok || f[1] != "00" || f[4].size() != 32) continue;
        if (f[0] != std::string_view("00000000000000000000000000000000")) continue;
        if (f[4] == std::string_view("00000000000000000000000000000000")) continue;
        uint8_t bytes[16];
        for (int i = 0; i < 16 && ok; ++i) {
            auto byte = f[4].substr(static_cast<size_t>(i) * 2, 2);
            unsigned v = 0;
            for (char c : byte) {
                int d = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
                if (d < 0) ok = false;
                v = v << 4 | static_cast<unsigned>(d & 15);
            }
            bytes[i] = static_cast<uint8_t>(v);
        }
        if (!ok) continue;
        char buf[INET6_ADDRSTRLEN];
        if (!inet_ntop(AF_INET6, bytes, buf, sizeof buf)) continue;
        auto& list = out[sanitizeUtf8(f[9])];
        if (std::find(list.begin(), list.end(), buf) == list.end()) list.push_back(buf);
    }
    return out;
}

std::string ipv4Netmask(unsigned prefixLength) {
    if (prefixLength > 32) prefixLength = 32;
    const uint32_t mask = prefixLength == 0 ? 0 : ~uint32_t{0} << (32 - prefixLength);
    char buf[INET_ADDRSTRLEN];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", mask >> 24, (mask >> 16) & 255, (mask >> 8) & 255,
                  mask & 255);
    return buf;
}

namespace {

unsigned prefixOf(const struct sockaddr* mask) {
    unsigned bits = 0;
    if (!mask) return 0;
    const uint8_t* p = nullptr;
    size_t n = 0;
    if (mask->sa_family == AF_INET) {
        p = reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in*>(mask)->sin_addr);
        n = 4;
    } else if (mask->sa_family == AF_INET6) {
        p = reinterpret_cast<const uint8_t*>(
            &reinterpret_cast<const sockaddr_in6*>(mask)->sin6_addr);
        n = 16;
    }
    for (size_t i = 0; i < n; ++i) bits += static_cast<unsigned>(__builtin_popcount(p[i]));
    return bits;
}

std::string upperMac(std::string mac) {
    for (char& c : mac)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return mac;
}

}  // namespace

std::vector<NetInterface> readInterfaces() {
    std::vector<NetInterface> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/sys/class/net", ec)) {
        NetInterface n;
        n.name = sanitizeUtf8(e.path().filename().string());
        const std::string base = e.path().string() + "/";
        auto index = readSysValue(base + "ifindex");
        if (!index) continue;  // vanished or not an interface
        n.index = static_cast<uint32_t>(parseUInt(*index).value_or(0));
        if (auto mac = readSysValue(base + "address"); mac && *mac != "00:00:00:00:00:00")
            n.mac = upperMac(*mac);
        if (auto v = readSysValue(base + "mtu")) {
            if (auto m = parseUInt(*v)) n.mtu = static_cast<uint32_t>(*m);
        }
        if (auto v = readSysValue(base + "speed")) {
            // -1 (unknown) fails to parse as unsigned and stays empty.
            if (auto s = parseUInt(*v)) n.speedMbps = *s;
        }
        n.operState = readSysValue(base + "operstate").value_or("unknown");
        if (auto flags = readSysValue(base + "flags")) {
            n.up = (std::strtoul(flags->c_str(), nullptr, 16) & IFF_UP) != 0;
        }
        if (auto t = readSysValue(base + "type")) {
            if (auto v = parseUInt(*t)) n.arpType = static_cast<uint32_t>(*v);
        }
        n.physical = std::filesystem::exists(base + "device", ec);
        std::error_code lec;
        auto drv = std::filesystem::read_symlink(base + "device/driver", lec);
        if (!lec) n.driver = sanitizeUtf8(drv.filename().string());
        out.push_back(std::move(n));
    }
    std::sort(out.begin(), out.end(),
              [](const NetInterface& a, const NetInterface& b) { return a.index < b.index; });

    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (struct ifaddrs* a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || !a->ifa_name) continue;
            const int fam = a->ifa_addr->sa_family;
            if (fam != AF_INET && fam != AF_INET6) continue;
            auto it = std::find_if(out.begin(), out.end(),
                                   [&](const NetInterface& n) { return n.name == a->ifa_name; });
            if (it == out.end()) continue;
            char buf[INET6_ADDRSTRLEN];
            const void* src = fam == AF_INET
                                  ? static_cast<const void*>(
                                        &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr)
                                  : static_cast<const void*>(
                                        &reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr);
            if (!inet_ntop(fam, src, buf, sizeof buf)) continue;
            InterfaceAddress ia;
            ia.address = buf;
            ia.ipv6 = fam == AF_INET6;
            const unsigned prefix = prefixOf(a->ifa_netmask);
            ia.subnet = ia.ipv6 ? std::to_string(prefix) : ipv4Netmask(prefix);
            it->addresses.push_back(std::move(ia));
        }
        freeifaddrs(list);
    }
    // WMI lists IPv4 addresses before IPv6 ones.
    for (NetInterface& n : out)
        std::stable_partition(n.addresses.begin(), n.addresses.end(),
                              [](const InterfaceAddress& a) { return !a.ipv6; });
    return out;
}

}  // namespace wbem
