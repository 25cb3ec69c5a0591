// Win32_LogicalDisk, Win32_Volume and Win32_DiskDrive.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

std::shared_ptr<const InstanceProvider> makeLogicalDiskProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeVolumeProvider(std::string nspace);
std::shared_ptr<const InstanceProvider> makeDiskDriveProvider(std::string nspace);

}  // namespace wbem
