// SOAP faults of WinRM mapped to WMI's codes and texts, so that a window
// shows what it shows for the local service, with the server's own reason
// after it.
#pragma once

#include <string>

#include "wbem/errors.h"
#include "wbem/remote/cim_status.h"
#include "wbem/remote/xml/xml_doc.h"

namespace wbem::winrm {

struct FaultInfo {
    HResult code = hr::Failed;
    std::string reason;       // the most specific text the fault carries
    std::string subcode;      // e.g. "CannotProcessFilter", without prefix
    bool fromDetail = false;  // the code came from a WMI or CIM code, not the subcode
};

// A SOAP fault as thrown: the WMI error with what the fault said.
class FaultError : public WbemError {
  public:
    explicit FaultError(FaultInfo info);
    const FaultInfo& info() const { return info_; }

  private:
    FaultInfo info_;
};

// The code of a s:Fault element: an 0x8004xxxx value found in the detail
// (MSFT_WmiError error_Code, WSManFault Code, __ExtendedStatus StatusCode)
// wins; else the CIM status code; else the WS-Management subcode; else
// Generic failure.
FaultInfo readFault(const xmlNode* fault);

using remote::codeForCimStatus;

[[noreturn]] void throwFault(const FaultInfo& fault);

}  // namespace wbem::winrm
