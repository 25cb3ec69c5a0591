// Win32_UserAccount, Win32_Group, Win32_GroupUser and Win32_Environment.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeUserAccountProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeGroupProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeGroupUserProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeEnvironmentProvider(std::string nspace);

// KEY=value lines of /etc/environment (pam_env's format): quotes removed,
// comments and malformed lines skipped, an "export " prefix tolerated. Also
// ~/.pam_environment's "NAME DEFAULT=value" and "NAME OVERRIDE=value" lines
// (OVERRIDE wins).
std::vector<std::pair<std::string, std::string>> parseEnvironmentFile(std::string_view text);

struct ConfiguredVariable {
    std::string name, value;
    std::string userName;  // "<SYSTEM>", or DOMAIN\user
    bool system = false;
};

// The environment as the machine configures it, never a process's own (that
// may hold a shell's tokens): /etc/environment, /etc/environment.d/*.conf and
// /etc/default/locale for <SYSTEM>; each user's ~/.config/environment.d/*.conf
// and ~/.pam_environment where readable. Later files override earlier ones
// for the same name and user. `root` prefixes every path (tests point it at
// a tree of their own; "" on a live machine).
std::vector<ConfiguredVariable> configuredEnvironment(const std::string& root,
                                                      const std::string& domain);

}  // namespace wbem
