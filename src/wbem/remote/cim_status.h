// CIM status codes (the CIM_ERR_* numbers WBEM servers report) mapped to
// WMI's codes, shared by the back ends that meet them.
#pragma once

#include <string_view>

#include "wbem/errors.h"

namespace wbem::remote {

// WMI's code for a CIM status code, or 0 for one without a match.
HResult codeForCimStatus(unsigned status);

// The CIM status for a WMI code (CIM_ERR_FAILED, 1, for one without a match).
unsigned cimStatusForCode(HResult code);

// "CIM_ERR_NOT_FOUND" for 6; empty for a number outside the table.
std::string_view cimStatusName(unsigned status);

}  // namespace wbem::remote
