// Methods of Win32_Process: GetOwner and GetOwnerSid, which only read (from a
// /proc tree and the account files), and Create, Terminate and SetPriority,
// which act as the calling user and answer with WMI's return values.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

// `procRoot` is "/proc" on a live machine; tests point it at a tree of their own.
std::shared_ptr<const MethodProvider> makeProcessMethods(std::string procRoot = "/proc");

}  // namespace wbem
