// Win32_Service (systemd services) and Win32_SystemDriver (kernel modules).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeServiceProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeSystemDriverProvider(std::string nspace);

struct KernelModule {
    std::string name;
    std::string state;  // "Live", "Loading", "Unloading"
    uint64_t size = 0;
};
// /proc/modules: "name size refcount deps state address".
std::vector<KernelModule> parseModules(std::string_view text);

}  // namespace wbem
