// Network interfaces as WMI's adapters (DeviceID and Index are the kernel's
// interface index) and their IP settings.
#include "network_providers.h"

#include "../repository/instance.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "net_info.h"
#include "parse_util.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Routes = 1, Resolver = 2;
}

struct AdapterRecord {
    NetInterface nic;
    std::string systemName, dnsHostName, nspace;
    std::vector<std::string> gateways;
    ResolvConf resolver;
};

bool matchesIndex(const QueryHints& hints, const char* property, uint32_t index, bool asText) {
    const CimValue* v = hints.equalTo(property);
    if (!v) return true;
    if (asText)
        return v->kind() != CimValue::Kind::String || v->asString() == std::to_string(index);
    if (v->kind() == CimValue::Kind::UInt) return v->asUInt() == index;
    if (v->kind() == CimValue::Kind::SInt) return v->asSInt() == static_cast<int64_t>(index);
    return true;
}

std::vector<AdapterRecord> readAdapters(uint32_t needs, const QueryHints& hints,
                                        const std::string& nspace) {
    std::map<std::string, std::vector<std::string>> v4, v6;
    if (needs & part::Routes) {
        if (auto t = readTextFile("/proc/net/route")) v4 = parseIpv4DefaultRoutes(*t);
        if (auto t = readTextFile("/proc/net/ipv6_route")) v6 = parseIpv6DefaultRoutes(*t);
    }
    ResolvConf rc;
    if (needs & part::Resolver) {
        if (auto t = readTextFile("/etc/resolv.conf", 1 << 20)) rc = parseResolvConf(*t);
    }
    std::vector<AdapterRecord> out;
    const std::string system = computerName(), host = dnsHostName();
    for (NetInterface& n : readInterfaces()) {
        if (!matchesIndex(hints, "DeviceID", n.index, true) ||
            !matchesIndex(hints, "Index", n.index, false))
            continue;
        AdapterRecord r;
        r.gateways = v4[n.name];
        for (const auto& g : v6[n.name]) r.gateways.push_back(g);
        r.nic = std::move(n);
        r.systemName = system;
        r.dnsHostName = host;
        r.nspace = nspace;
        r.resolver = rc;
        out.push_back(std::move(r));
    }
    return out;
}

using R = AdapterRecord;

bool isEthernet(const R& r) { return r.nic.arpType && *r.nic.arpType == 1; }
bool isLoopback(const R& r) { return r.nic.arpType && *r.nic.arpType == 772; }

std::string description(const R& r) {
    if (isLoopback(r)) return "Loopback interface " + r.nic.name;
    if (!r.nic.driver.empty()) return r.nic.driver + " network interface " + r.nic.name;
    return "Network interface " + r.nic.name;
}

// 2 connected, 7 media disconnected, 0 disconnected (administratively down).
uint16_t connectionStatus(const R& r) {
    if (!r.nic.up) return 0;
    if (r.nic.operState == "up" || r.nic.operState == "unknown") return 2;
    return 7;
}

CimValue addressList(const R& r, bool subnets) {
    std::vector<std::string> items;
    for (const InterfaceAddress& a : r.nic.addresses)
        items.push_back(subnets ? a.subnet : a.address);
    return items.empty() ? CimValue() : stringArray(items);
}

const Column<R> kAdapterColumns[] = {
    {"AdapterType", 0,
     [](const R& r) { return isEthernet(r) ? constText("Ethernet 802.3") : CimValue(); }},
    {"AdapterTypeId", 0, [](const R& r) { return isEthernet(r) ? CimValue::uint(0) : CimValue(); }},
    {"Availability", 0, [](const R& r) { return CimValue::uint(r.nic.up ? 3 : 8); }},
    {"Caption", 0, [](const R& r) { return textValue(description(r)); }},
    {"CreationClassName", 0, [](const R&) { return constText("Win32_NetworkAdapter"); }},
    {"Description", 0, [](const R& r) { return textValue(description(r)); }},
    {"DeviceID", 0, [](const R& r) { return CimValue::string(std::to_string(r.nic.index)); }},
    {"Index", 0, [](const R& r) { return CimValue::uint(r.nic.index); }},
    {"Installed", 0, [](const R&) { return CimValue::boolean(true); }},
    {"InterfaceIndex", 0, [](const R& r) { return CimValue::uint(r.nic.index); }},
    {"MACAddress", 0,
     [](const R& r) { return r.nic.mac.empty() ? CimValue() : textValue(r.nic.mac); }},
    {"Name", 0, [](const R& r) { return textValue(r.nic.name); }},
    {"NetConnectionID", 0, [](const R& r) { return textValue(r.nic.name); }},
    {"NetConnectionStatus", 0, [](const R& r) { return CimValue::uint(connectionStatus(r)); }},
    {"NetEnabled", 0, [](const R& r) { return CimValue::boolean(r.nic.up); }},
    {"PermanentAddress", 0,
     [](const R& r) { return r.nic.mac.empty() ? CimValue() : textValue(r.nic.mac); }},
    {"PhysicalAdapter", 0, [](const R& r) { return CimValue::boolean(r.nic.physical); }},
    {"ProductName", 0, [](const R& r) { return textValue(description(r)); }},
    {"ServiceName", 0,
     [](const R& r) { return r.nic.driver.empty() ? CimValue() : textValue(r.nic.driver); }},
    {"Speed", 0,
     [](const R& r) {
         return r.nic.speedMbps ? CimValue::uint(*r.nic.speedMbps * 1000000) : CimValue();
     }},
    {"Status", 0, [](const R&) { return constText("OK"); }},
    {"SystemCreationClassName", 0, [](const R&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const R& r) { return constText(r.systemName); }},
};

const Column<R> kConfigColumns[] = {
    {"Caption", 0,
     [](const R& r) {
         char prefix[16];
         std::snprintf(prefix, sizeof prefix, "[%08u] ", r.nic.index);
         return textValue(prefix + description(r));
     }},
    {"DefaultIPGateway", part::Routes,
     [](const R& r) { return r.gateways.empty() ? CimValue() : stringArray(r.gateways); }},
    {"Description", 0, [](const R& r) { return textValue(description(r)); }},
    {"DNSDomain", part::Resolver,
     [](const R& r) {
         return r.resolver.domain.empty() ? CimValue() : textValue(r.resolver.domain);
     }},
    {"DNSDomainSuffixSearchOrder", part::Resolver,
     [](const R& r) {
         return r.resolver.search.empty() ? CimValue() : stringArray(r.resolver.search);
     }},
    {"DNSHostName", 0, [](const R& r) { return textValue(r.dnsHostName); }},
    {"DNSServerSearchOrder", part::Resolver,
     [](const R& r) {
         return r.resolver.nameservers.empty() ? CimValue() : stringArray(r.resolver.nameservers);
     }},
    {"Index", 0, [](const R& r) { return CimValue::uint(r.nic.index); }},
    {"InterfaceIndex", 0, [](const R& r) { return CimValue::uint(r.nic.index); }},
    {"IPAddress", 0, [](const R& r) { return addressList(r, false); }},
    {"IPEnabled", 0, [](const R& r) { return CimValue::boolean(!r.nic.addresses.empty()); }},
    {"IPSubnet", 0, [](const R& r) { return addressList(r, true); }},
    {"MACAddress", 0,
     [](const R& r) { return r.nic.mac.empty() ? CimValue() : textValue(r.nic.mac); }},
    {"MTU", 0, [](const R& r) { return r.nic.mtu ? CimValue::uint(*r.nic.mtu) : CimValue(); }},
    {"ServiceName", 0,
     [](const R& r) { return r.nic.driver.empty() ? CimValue() : textValue(r.nic.driver); }},
    {"SettingID", 0, [](const R& r) { return textValue(r.nic.name); }},
};

const Column<R> kSettingColumns[] = {
    {"Element", 0,
     [](const R& r) {
         return CimValue::string(
             fullPath(r.systemName, r.nspace,
                      "Win32_NetworkAdapter.DeviceID=\"" + std::to_string(r.nic.index) + "\""));
     }},
    {"Setting", 0,
     [](const R& r) {
         return CimValue::string(
             fullPath(r.systemName, r.nspace,
                      "Win32_NetworkAdapterConfiguration.Index=" + std::to_string(r.nic.index)));
     }},
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeNetworkAdapterProvider(std::string nspace) {
    return makeListProvider<AdapterRecord>(kAdapterColumns,
                                           [nspace](uint32_t needs, const QueryHints& hints) {
                                               return readAdapters(needs, hints, nspace);
                                           });
}

std::shared_ptr<const InstanceProvider> makeNetworkConfigurationProvider(std::string nspace) {
    return makeListProvider<AdapterRecord>(kConfigColumns,
                                           [nspace](uint32_t needs, const QueryHints& hints) {
                                               return readAdapters(needs, hints, nspace);
                                           });
}

std::shared_ptr<const InstanceProvider> makeNetworkAdapterSettingProvider(std::string nspace) {
    return makeListProvider<AdapterRecord>(kSettingColumns, [nspace](uint32_t, const QueryHints&) {
        return readAdapters(0, QueryHints{}, nspace);
    });
}

}  // namespace wbem
