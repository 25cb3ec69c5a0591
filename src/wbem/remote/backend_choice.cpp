#include "backend_choice.h"

#include "host_text.h"

namespace wbem::remote {

Backend backendFor(std::string_view text) {
    auto parts = splitHostText(text);
    // Text that is no host at all goes to WinRM, whose connect says so.
    if (!parts) return Backend::WinRm;
    if (parts->scheme == "cimxml" || parts->scheme == "cimxmls") return Backend::CimXml;
    // 5988 and 5989 are the registered CIM-XML ports; WinRM never listens there.
    if ((parts->scheme == "http" || parts->scheme == "https") &&
        (parts->port == 5988 || parts->port == 5989))
        return Backend::CimXml;
    return Backend::WinRm;
}

}  // namespace wbem::remote
