// The rules of the connect dialog and the namespace chooser that need no
// window: which host counts as this computer, the local address, the
// computers the picker offers, the protocol choices shown for a host, the
// code page from a code set, and the namespace tree's names, paths and
// rebuild decision.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/remote_hosts.h"
#include "wbem/remote_options.h"

namespace ui {

// --- Hosts ------------------------------------------------------------------------

// The first IPv4 address of a host name, in network byte order; 127.0.0.1
// when the name cannot be looked up.
uint32_t HostAddress(const std::string& hostName);
// HostAddress of this computer's own host name.
uint32_t LocalHostAddress();
// The address's four bytes, most significant first, in decimal joined by ".".
std::string AddressToText(uint32_t networkOrderAddress);
// This computer's host name (at most 255 bytes); empty when it cannot be read.
std::string LocalHostName();

// Whether the namespace chooser treats a host, given trimmed, as another
// computer: not exactly "localhost", not starting with "127.0.0", not empty
// and not the text of the local address. Letter case counts, and a host given
// by this computer's name is remote.
bool IsRemoteHost(std::string_view host, std::string_view localAddressText);

// The host names of a hosts file (/etc/hosts) in the order they appear, each
// once (letter case ignored). Comments, malformed lines and the multicast and
// reserved IPv6 entries (ip6-allnodes, ip6-localnet, ...) give no names.
std::vector<std::string> ParseHostsFile(std::string_view text);

// The computers the picker offers: this computer's name, the host history,
// then the hosts file's names; each name once (letter case ignored), empty
// names left out.
std::vector<std::string> KnownComputers(std::string_view ownName,
                                        const std::vector<std::string>& history,
                                        const std::vector<std::string>& hostsFileNames);

// --- Protocol choices ----------------------------------------------------------------

// What the connect dialog's protocol area does once the host text changed.
struct ProtocolArea {
    bool shown = false;  // only a host that is not this machine's needs a protocol
    // The choices to put into the area; none: keep what it shows.
    std::optional<wbem::RemoteOptions> fill;
};

// The area for a host as typed: the choices remembered for it (the list
// holds the current connection's first); for a host without any, the
// defaults, unless the user has changed the area by hand since it was last
// filled: those choices are kept for the host being typed.
ProtocolArea ProtocolAreaFor(std::string_view host, const settings::RemoteHostList& remembered,
                             const wbem::RemoteOptions& defaults, bool changedByHand);

// --- Namespace tree ---------------------------------------------------------------

// Namespaces that an eager walk of a local host shows but does not enter.
inline constexpr std::array<std::string_view, 4> SkippedNamespaces{
    "Root\\ServiceModel", "Root\\SECURITY", "Root\\RSOP\\User", "Root\\RSOP\\Computer\\ms_409"};
bool IsSkippedNamespace(std::string_view path);  // exact, case-sensitive

// The child names in an answer of QueryValues: the answer split at every
// carriage return, each field trimmed, empty fields left out.
std::vector<std::string> NamespaceNames(std::string_view answer);

// A node's path from the texts met walking from the node up to the root:
// "Root\CIMV2" for {"CIMV2", "Root"}; empty for no texts.
std::string PathFromNodeTexts(const std::vector<std::string>& textsUpward);

// What a namespace tree was built for.
struct NamespaceTreeKey {
    std::string host;
    std::string user;
    std::string password;  // or a digest of it, compared the same way
};

// A tree is rebuilt for another host, user name or password (exact
// comparison), or when it holds no more than its root.
bool NeedsRebuild(const NamespaceTreeKey& built, const NamespaceTreeKey& wanted, int nodeCount);

}  // namespace ui
