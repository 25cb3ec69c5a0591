// Win32_UserAccount, Win32_Group, Win32_GroupUser and Win32_Environment.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeUserAccountProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeGroupProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeGroupUserProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeEnvironmentProvider(std::string nspace);

// KEY=value lines of /etc/environment (pam_env's format): quotes removed,
// comments and malformed lines skipped, an "export " prefix tolerated.
std::vector<std::pair<std::string, std::string>> parseEnvironmentFile(std::string_view text);

}  // namespace wbem
