// Which remote back end a host text names: CIM-XML for cimxml:// and
// cimxmls://, and for http(s) URLs on the CIM-XML ports 5988 and 5989;
// WinRM for everything else (bare names, other URLs).
#pragma once

#include <string_view>

namespace wbem::remote {

enum class Backend { WinRm, CimXml };

Backend backendFor(std::string_view hostText);

}  // namespace wbem::remote
