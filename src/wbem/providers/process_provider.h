// Win32_Process and Win32_Thread from a /proc tree.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"

namespace wbem {

// `procRoot` is "/proc" on a live machine; tests point it at a tree of their own.
std::shared_ptr<const InstanceProvider> makeProcessProvider(std::string nspace,
                                                            std::string procRoot = "/proc");
std::shared_ptr<const InstanceProvider> makeThreadProvider(std::string nspace,
                                                           std::string procRoot = "/proc");

// Windows-style base priority (0..31, 8 normal) for a Linux task: real-time
// tasks land in 16..31, the others follow their nice value (-20 -> 15,
// 0 -> 8, 19 -> 1).
uint32_t windowsPriority(int64_t nice, int64_t rtPriority, int64_t policy);
// CIM ExecutionState for a /proc state letter.
uint16_t executionState(char state);

}  // namespace wbem
