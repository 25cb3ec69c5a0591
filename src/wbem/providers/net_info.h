// Network facts: interfaces from /sys/class/net, their addresses, the
// default gateways of the routing tables and the resolver's settings.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct ResolvConf {
    std::vector<std::string> nameservers;
    std::string domain;  // "domain", else the first "search" entry
    std::vector<std::string> search;
};
ResolvConf parseResolvConf(std::string_view text);

// Default gateways (destination 0.0.0.0/0) by interface, from /proc/net/route.
std::map<std::string, std::vector<std::string>> parseIpv4DefaultRoutes(std::string_view text);
// Default gateways (::/0) by interface, from /proc/net/ipv6_route.
std::map<std::string, std::vector<std::string>> parseIpv6DefaultRoutes(std::string_view text);

// "255.255.255.0" for a prefix length of 24.
std::string ipv4Netmask(unsigned prefixLength);

struct InterfaceAddress {
    std::string address;  // "192.0.2.5", "fe80::1"
    std::string subnet;   // "255.255.255.0" for IPv4, the prefix length ("64") for IPv6
    bool ipv6 = false;
};

struct NetInterface {
    std::string name;
    uint32_t index = 0;
    std::string mac;  // "00:1A:2B:3C:4D:5E", empty when the interface has none
    std::optional<uint32_t> mtu;
    std::optional<uint64_t> speedMbps;
    std::string operState;            // "up", "down", "unknown", ...
    bool up = false;                  // administratively up (IFF_UP)
    bool physical = false;            // backed by a device
    std::optional<uint32_t> arpType;  // /sys/class/net/<if>/type
    std::string driver;
    std::vector<InterfaceAddress> addresses;
};

// Interfaces in index order, with their addresses.
std::vector<NetInterface> readInterfaces();

}  // namespace wbem
