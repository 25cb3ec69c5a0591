// Associations between the live classes of the local machine.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeSystemProcessesProvider(std::string nspace,
                                                                    std::string procRoot = "/proc");
std::shared_ptr<const InstanceProvider> makeProcessThreadProvider(std::string nspace,
                                                                  std::string procRoot = "/proc");
std::shared_ptr<const InstanceProvider> makeSystemOperatingSystemProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeComputerSystemProcessorProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeSystemUsersProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeSystemServicesProvider(std::string nspace);

}  // namespace wbem
