// Providers of the machine as a whole: Win32_OperatingSystem,
// Win32_ComputerSystem, Win32_Processor, Win32_BIOS.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeOperatingSystemProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeComputerSystemProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeProcessorProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeBiosProvider(std::string nspace);

}  // namespace wbem
