#include "settings/remote_hosts.h"

#include <algorithm>
#include <map>
#include <optional>

#include "settings/text_util.h"
#include "wbem/text.h"

namespace settings {

namespace {

constexpr std::string_view kSection = "RemoteHosts";
constexpr std::string_view kHostKey = "Host";
constexpr std::string_view kAuthKey = "Auth";
constexpr std::string_view kCaFileKey = "CAFile";
constexpr std::string_view kUnencryptedKey = "Unencrypted";

struct StoredEntry {
    std::optional<std::string> host, auth, caFile, unencrypted;
};

}  // namespace

const RemoteHostChoice* FindRemoteHost(const RemoteHostList& list, std::string_view host) {
    const std::string_view wanted = wbem::trimmed(host);
    for (const RemoteHostChoice& choice : list)
        if (wbem::iequals(choice.host, wanted)) return &choice;
    return nullptr;
}

bool RememberRemoteHost(RemoteHostList& list, std::string_view host,
                        const wbem::RemoteOptions& options) {
    const std::string_view trimmed = wbem::trimmed(host);
    if (trimmed.empty()) return false;
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [&](const RemoteHostChoice& c) { return wbem::iequals(c.host, trimmed); }),
        list.end());
    list.insert(list.begin(), RemoteHostChoice{std::string(trimmed), options});
    return true;
}

RemoteHostList LoadRemoteHosts(const ProfileFile& file) {
    const int32_t count = file.readInteger(kSection, "Count", 0);
    // Walks only the keys present, so a huge "Count" costs nothing.
    std::map<int32_t, StoredEntry> byIndex;
    for (auto& entry : file.sectionEntries(kSection)) {
        struct Field {
            std::string_view prefix;
            std::optional<std::string> StoredEntry::*member;
        };
        for (const Field& f :
             {Field{kHostKey, &StoredEntry::host}, Field{kAuthKey, &StoredEntry::auth},
              Field{kCaFileKey, &StoredEntry::caFile},
              Field{kUnencryptedKey, &StoredEntry::unencrypted}}) {
            const auto index = numberedKeyIndex(entry.key, f.prefix);
            if (!index || *index >= count) continue;
            // The first key of a name counts, as a read of that key gives it.
            std::optional<std::string>& slot = byIndex[*index].*f.member;
            if (!slot) slot = entry.value;
        }
    }
    RemoteHostList list;
    for (auto& [index, stored] : byIndex) {
        const std::string host = stored.host ? std::string(wbem::trimmed(*stored.host)) : "";
        if (host.empty() || FindRemoteHost(list, host)) continue;
        RemoteHostChoice choice{host, {}};
        if (stored.auth)
            choice.options.auth = wbem::parseAuthMethod(*stored.auth).value_or(choice.options.auth);
        if (stored.caFile) choice.options.caFile = *stored.caFile;
        choice.options.allowUnencrypted =
            stored.unencrypted && parseInt32(*stored.unencrypted).value_or(0) != 0;
        list.push_back(std::move(choice));
    }
    return list;
}

void SaveRemoteHosts(ProfileFile& file, const RemoteHostList& list) {
    const size_t n = std::min(list.size(), kSavedRemoteHosts);
    file.writeInteger(kSection, "Count", static_cast<int32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        const std::string index = std::to_string(i);
        const wbem::RemoteOptions& o = list[i].options;
        file.writeString(kSection, std::string(kHostKey) + index, list[i].host);
        file.writeString(kSection, std::string(kAuthKey) + index, wbem::authMethodName(o.auth));
        file.writeString(kSection, std::string(kCaFileKey) + index, o.caFile);
        file.writeInteger(kSection, std::string(kUnencryptedKey) + index,
                          o.allowUnencrypted ? 1 : 0);
    }
}

bool WriteRemoteHosts(const std::string& fileName, const RemoteHostList& list) {
    ProfileFile file = ProfileFile::load(fileName);
    SaveRemoteHosts(file, list);
    return file.save();
}

}  // namespace settings
