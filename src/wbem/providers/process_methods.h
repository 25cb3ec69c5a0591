// Methods of Win32_Process that only read: GetOwner and GetOwnerSid, from a
// /proc tree and the account files.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

// `procRoot` is "/proc" on a live machine; tests point it at a tree of their own.
std::shared_ptr<const MethodProvider> makeProcessMethods(std::string procRoot = "/proc");

}  // namespace wbem
