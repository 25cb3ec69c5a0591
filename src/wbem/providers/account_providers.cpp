// Local users and groups, and which users belong to which groups.
#include "account_providers.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "../repository/instance.h"
#include "accounts.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "parse_util.h"

namespace wbem {

namespace {

namespace part {
inline constexpr uint32_t Shadow = 1;
}

struct UserRecord {
    PasswdEntry user;
    std::string domain;
    std::optional<ShadowEntry> shadow;
};

struct GroupRecord {
    GroupEntry group;
    std::string domain;
};

struct MemberRecord {
    std::string groupPath, userPath;
};

std::vector<GroupEntry> readGroups() {
    auto text = readTextFile("/etc/group");
    return text ? parseGroup(*text) : std::vector<GroupEntry>{};
}

// Account keys: Domain and Name, compared ignoring case as WMI does.
bool keyMatches(const QueryHints& hints, const std::string& domain, const std::string& name) {
    if (const std::string* d = keyText(hints, "Domain"); d && !iequals(*d, domain)) return false;
    if (const std::string* n = keyText(hints, "Name"); n && !iequals(*n, name)) return false;
    return true;
}

std::vector<UserRecord> readUsers(uint32_t needs, const QueryHints& hints) {
    const std::string domain = computerName();
    std::map<std::string, ShadowEntry> shadow;
    bool shadowRead = false;
    if (needs & part::Shadow) {
        // Only root may read it; the others get nulls for what it tells.
        if (auto text = readTextFile("/etc/shadow")) {
            shadow = parseShadow(*text);
            shadowRead = true;
        }
    }
    std::vector<UserRecord> out;
    for (PasswdEntry& u : readPasswd()) {
        if (!keyMatches(hints, domain, u.name)) continue;
        UserRecord r{std::move(u), domain, std::nullopt};
        if (shadowRead) {
            auto it = shadow.find(r.user.name);
            r.shadow = it != shadow.end() ? it->second : ShadowEntry{};
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<GroupRecord> readGroupRecords(uint32_t, const QueryHints& hints) {
    const std::string domain = computerName();
    std::vector<GroupRecord> out;
    for (GroupEntry& g : readGroups())
        if (keyMatches(hints, domain, g.name)) out.push_back({std::move(g), domain});
    return out;
}

std::vector<MemberRecord> readMembers(const std::string& nspace) {
    const std::string domain = computerName();
    auto users = readPasswd();
    std::set<std::string> known;
    for (const auto& u : users) known.insert(u.name);
    std::vector<MemberRecord> out;
    for (const GroupEntry& g : readGroups()) {
        // Members named in the group file, and the users whose primary
        // group it is; each once, and only users that exist.
        std::vector<std::string> members;
        for (const std::string& m : g.members)
            if (known.count(m) && std::find(members.begin(), members.end(), m) == members.end())
                members.push_back(m);
        for (const PasswdEntry& u : users)
            if (u.gid == g.gid &&
                std::find(members.begin(), members.end(), u.name) == members.end())
                members.push_back(u.name);
        const std::string groupPath =
            fullPath(domain, nspace, accountRelPath("Win32_Group", domain, g.name));
        for (const std::string& m : members)
            out.push_back({groupPath, fullPath(domain, nspace,
                                               accountRelPath("Win32_UserAccount", domain, m))});
    }
    return out;
}

std::string caption(const std::string& domain, const std::string& name) {
    return domain + "\\" + name;
}

const Column<UserRecord> kUserColumns[] = {
    {"AccountType", 0, [](const UserRecord&) { return CimValue::uint(512); }},  // normal account
    {"Caption", 0, [](const UserRecord& r) { return textValue(caption(r.domain, r.user.name)); }},
    {"Description", 0,
     [](const UserRecord& r) {
         return r.user.gecos.empty() ? CimValue() : textValue(r.user.gecos);
     }},
    {"Disabled", part::Shadow,
     [](const UserRecord& r) {
         return r.shadow ? CimValue::boolean(r.shadow->locked) : CimValue();
     }},
    {"Domain", 0, [](const UserRecord& r) { return textValue(r.domain); }},
    {"FullName", 0, [](const UserRecord& r) { return textValue(r.user.fullName()); }},
    {"LocalAccount", 0, [](const UserRecord&) { return CimValue::boolean(true); }},
    {"Lockout", 0, [](const UserRecord&) { return CimValue::boolean(false); }},
    {"Name", 0, [](const UserRecord& r) { return textValue(r.user.name); }},
    {"PasswordChangeable", 0, [](const UserRecord&) { return CimValue::boolean(true); }},
    {"PasswordExpires", part::Shadow,
     [](const UserRecord& r) {
         return r.shadow ? CimValue::boolean(r.shadow->expires) : CimValue();
     }},
    {"PasswordRequired", part::Shadow,
     [](const UserRecord& r) {
         return r.shadow ? CimValue::boolean(r.shadow->hasPassword) : CimValue();
     }},
    {"SID", 0, [](const UserRecord& r) { return constText(userSid(r.user.uid)); }},
    {"SIDType", 0, [](const UserRecord&) { return CimValue::uint(1); }},  // user
    {"Status", part::Shadow,
     [](const UserRecord& r) {
         return constText(r.shadow && r.shadow->locked ? "Degraded" : "OK");
     }},
};

const Column<GroupRecord> kGroupColumns[] = {
    {"Caption", 0, [](const GroupRecord& r) { return textValue(caption(r.domain, r.group.name)); }},
    {"Domain", 0, [](const GroupRecord& r) { return textValue(r.domain); }},
    {"LocalAccount", 0, [](const GroupRecord&) { return CimValue::boolean(true); }},
    {"Name", 0, [](const GroupRecord& r) { return textValue(r.group.name); }},
    {"SID", 0, [](const GroupRecord& r) { return constText(groupSid(r.group.gid)); }},
    {"SIDType", 0, [](const GroupRecord&) { return CimValue::uint(4); }},  // alias: a local group
    {"Status", 0, [](const GroupRecord&) { return constText("OK"); }},
};

const Column<MemberRecord> kMemberColumns[] = {
    {"GroupComponent", 0, [](const MemberRecord& r) { return CimValue::string(r.groupPath); }},
    {"PartComponent", 0, [](const MemberRecord& r) { return CimValue::string(r.userPath); }},
};

// ---- Win32_Environment ----

using EnvRecord = ConfiguredVariable;

std::vector<EnvRecord> readEnvironment(uint32_t, const QueryHints& hints) {
    std::vector<EnvRecord> out = configuredEnvironment("", computerName());
    const std::string* name = keyText(hints, "Name");
    const std::string* userKey = keyText(hints, "UserName");
    std::erase_if(out, [&](const EnvRecord& r) {
        return (name && !iequals(*name, r.name)) || (userKey && !iequals(*userKey, r.userName));
    });
    return out;
}

// The *.conf files of a folder, in name order (as environment.d reads them).
std::vector<std::string> confFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        if (e.path().extension() == ".conf" && e.is_regular_file(ec))
            files.push_back(e.path().string());
        if (files.size() >= 256) break;  // a folder of thousands is no configuration
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Adds the variables of the files in order, a later one replacing an earlier
// one of the same name.
void addFrom(const std::vector<std::string>& files, const std::string& userName, bool system,
             std::vector<ConfiguredVariable>& out) {
    std::vector<ConfiguredVariable> mine;
    for (const auto& file : files) {
        auto text = readTextFile(file, 1 << 20);
        if (!text) continue;
        for (auto& variable : parseEnvironmentFile(*text)) {
            const std::string& name = variable.first;
            auto same = std::find_if(mine.begin(), mine.end(),
                                     [&](const ConfiguredVariable& c) { return c.name == name; });
            if (same != mine.end())
                same->value = std::move(variable.second);
            else
                mine.push_back({name, std::move(variable.second), userName, system});
        }
    }
    out.insert(out.end(), std::make_move_iterator(mine.begin()),
               std::make_move_iterator(mine.end()));
}

const Column<EnvRecord> kEnvColumns[] = {
    {"Caption", 0, [](const EnvRecord& r) { return textValue(r.userName + "\\" + r.name); }},
    {"Description", 0, [](const EnvRecord& r) { return textValue(r.userName + "\\" + r.name); }},
    {"Name", 0, [](const EnvRecord& r) { return textValue(r.name); }},
    {"Status", 0, [](const EnvRecord&) { return constText("OK"); }},
    {"SystemVariable", 0, [](const EnvRecord& r) { return CimValue::boolean(r.system); }},
    {"UserName", 0, [](const EnvRecord& r) { return textValue(r.userName); }},
    {"VariableValue", 0, [](const EnvRecord& r) { return textValue(r.value); }},
};

}  // namespace

std::vector<ConfiguredVariable> configuredEnvironment(const std::string& root,
                                                      const std::string& domain) {
    std::vector<ConfiguredVariable> out;
    std::vector<std::string> system = {root + "/etc/environment"};
    for (auto& f : confFiles(root + "/etc/environment.d")) system.push_back(std::move(f));
    system.push_back(root + "/etc/default/locale");
    addFrom(system, "<SYSTEM>", true, out);
    const std::vector<PasswdEntry> users = readPasswd(root);
    std::set<std::string> homes;
    for (const auto& u : users) {
        // Accounts sharing a home (or having none) would repeat its files.
        if (u.home.empty() || u.home == "/" || !homes.insert(u.home).second) continue;
        const std::string home = root + u.home;
        std::vector<std::string> files = confFiles(home + "/.config/environment.d");
        files.push_back(home + "/.pam_environment");
        addFrom(files, domain + "\\" + u.name, false, out);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseEnvironmentFile(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("export ")) line = trimmed(line.substr(7));
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        std::string_view key = trimmed(line.substr(0, eq));
        std::string_view value = trimmed(line.substr(eq + 1));
        if (const size_t blank = key.find_first_of(" \t"); blank != std::string_view::npos) {
            // ~/.pam_environment: NAME [DEFAULT=value] [OVERRIDE=value]
            std::string_view rest = line.substr(blank);
            key = key.substr(0, blank);
            const size_t over = rest.find("OVERRIDE=");
            const size_t def = rest.find("DEFAULT=");
            if (over == std::string_view::npos && def == std::string_view::npos) continue;
            value = over != std::string_view::npos ? rest.substr(over + 9) : rest.substr(def + 8);
            if (over == std::string_view::npos) {
                if (const size_t o = value.find(" OVERRIDE="); o != std::string_view::npos)
                    value = value.substr(0, o);
            } else if (def != std::string_view::npos && def > over) {
                value = value.substr(0, value.find(" DEFAULT="));
            }
            value = trimmed(value);
        }
        if (key.empty()) continue;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        out.emplace_back(sanitizeUtf8(key), sanitizeUtf8(value));
    }
    return out;
}

std::shared_ptr<const InstanceProvider> makeUserAccountProvider(std::string) {
    return makeListProvider<UserRecord>(kUserColumns, readUsers);
}

std::shared_ptr<const InstanceProvider> makeGroupProvider(std::string) {
    return makeListProvider<GroupRecord>(kGroupColumns, readGroupRecords);
}

std::shared_ptr<const InstanceProvider> makeGroupUserProvider(std::string nspace) {
    return makeListProvider<MemberRecord>(
        kMemberColumns, [nspace](uint32_t, const QueryHints&) { return readMembers(nspace); });
}

std::shared_ptr<const InstanceProvider> makeEnvironmentProvider(std::string) {
    return makeListProvider<EnvRecord>(kEnvColumns, readEnvironment);
}

}  // namespace wbem
