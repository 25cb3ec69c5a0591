// The protocol choices the connect dialog remembers for each remote host:
// authentication method, extra CA file and whether Basic may go over plain
// HTTP. Kept in the settings file, section "RemoteHosts", most recent first:
//
//   [RemoteHosts]
//   Count=2
//   Host0=https://server1:5986/wsman   the host as typed, trimmed
//   Auth0=basic                        negotiate, basic, kerberos or ntlm
//   CAFile0=/etc/ssl/corp-ca.pem       empty: the system's CAs only
//   Unencrypted0=1                     1: Basic over plain HTTP allowed, 0: not
//   Host1=server2
//   ...
//
// Hosts are numbered entries, not sections of their own, because a host such
// as "https://[fe80::2]:5986" cannot be written as a section name. Host names
// are compared ignoring letter case. User names and passwords are never kept
// here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_file.h"
#include "wbem/remote_options.h"

namespace settings {

// The file keeps this many hosts; in memory the list grows freely.
inline constexpr size_t kSavedRemoteHosts = 50;

struct RemoteHostChoice {
    std::string host;             // trimmed
    wbem::RemoteOptions options;  // auth, caFile and allowUnencrypted are kept
};
using RemoteHostList = std::vector<RemoteHostChoice>;

// The entry of a host (given trimmed or not, letter case ignored), or null.
const RemoteHostChoice* FindRemoteHost(const RemoteHostList& list, std::string_view host);

// Puts the host's choices at the top of the list, in place of its earlier
// entry. False, changing nothing, for a host that is empty once trimmed.
bool RememberRemoteHost(RemoteHostList& list, std::string_view host,
                        const wbem::RemoteOptions& options);

// The entries 0 to Count-1 of section "RemoteHosts" that name a host; of two
// entries for the same host the first counts. An unknown method reads as
// negotiate. A missing file or section gives an empty list.
RemoteHostList LoadRemoteHosts(const ProfileFile& file);

// Writes "Count" and the first kSavedRemoteHosts entries into the file in memory.
void SaveRemoteHosts(ProfileFile& file, const RemoteHostList& list);

// Reads the file as it is now, sets the section and writes it back in one
// atomic write, every other line kept. False when the file could not be
// read or written; it is then left as it was.
bool WriteRemoteHosts(const std::string& fileName, const RemoteHostList& list);

}  // namespace settings
