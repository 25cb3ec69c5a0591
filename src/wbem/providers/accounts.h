// Local accounts from /etc/passwd, /etc/group and (when readable)
// /etc/shadow, parsed from text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct PasswdEntry {
    std::string name;
    uint32_t uid = 0;
    uint32_t gid = 0;
    std::string gecos, home, shell;

    std::string fullName() const;  // the GECOS field's first part
};

struct GroupEntry {
    std::string name;
    uint32_t gid = 0;
    std::vector<std::string> members;
};

struct ShadowEntry {
    bool locked = false;       // password field starts with '!'
    bool hasPassword = false;  // a password hash is set
    bool expires = false;      // a maximum password age is set
};

// Malformed lines (too few fields, non-numeric ids) and NIS "+"/"-" lines
// are skipped.
std::vector<PasswdEntry> parsePasswd(std::string_view text);
// The users of the tree at root (this machine by default), from its
// /etc/passwd; none when it cannot be read.
std::vector<PasswdEntry> readPasswd(const std::string& root = "");
std::vector<GroupEntry> parseGroup(std::string_view text);
std::map<std::string, ShadowEntry> parseShadow(std::string_view text);

// Security identifiers in the Unix range Samba uses: S-1-22-1-<uid> for
// users, S-1-22-2-<gid> for groups.
std::string userSid(uint32_t uid);
std::string groupSid(uint32_t gid);

// WMI path of an account: Win32_UserAccount.Domain="VM",Name="root".
std::string accountRelPath(std::string_view className, std::string_view domain,
                           std::string_view name);

}  // namespace wbem
