// Win32_Service.StartService and StopService, carried out by systemd
// (systemctl, which asks polkit for a caller who is not root).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "../repository/provider.h"

namespace wbem {

struct ProgramRun;

// Win32_Service's return value for how "systemctl start|stop" ended:
// 0 success, 2 access denied, 7 request timeout, 14 disabled (a masked
// unit), 13 dependency failure, 8 anything else.
uint32_t serviceControlResult(const ProgramRun& run);

std::shared_ptr<const MethodProvider> makeServiceMethods();

}  // namespace wbem
