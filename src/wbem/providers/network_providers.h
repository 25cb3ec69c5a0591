// Win32_NetworkAdapter, Win32_NetworkAdapterConfiguration and the
// Win32_NetworkAdapterSetting association between them.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeNetworkAdapterProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeNetworkConfigurationProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeNetworkAdapterSettingProvider(std::string nspace);

}  // namespace wbem
