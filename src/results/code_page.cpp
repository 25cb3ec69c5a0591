#include "code_page.h"

#include <string>

#include "cell_order.h"
#include "wbem/text.h"
#include "wmi/bw_wmi.h"

namespace results {

int32_t codePageFromCodeSet(std::string_view answer) {
    return textAsInteger(wbem::trimmed(answer)).value_or(wmi::LocalCodePage());
}

std::optional<int32_t> targetCodePage(const wmi::TWMI& c, std::string* unreachable) {
    std::string answer;
    wbem::HResult failure = 0;
    if (!wmi::QueryValues(c.Host, c.Namespace, c.User, answer, wmi::LocalCodePage(), false, "", "CodeSet",
                          "Win32_OperatingSystem", c.Password, &c.remote, &failure)) {
        const bool notThere =
            failure == wbem::hr::AccessDenied || failure == wbem::hr::AccessDeniedSystem ||
            failure == wbem::hr::RpcUnavailable || failure == wbem::hr::SecureFailure ||
            failure == wbem::hr::InvalidNamespace;
        if (unreachable && notThere) *unreachable = answer;
        return std::nullopt;
    }
    return codePageFromCodeSet(answer);
}

}  // namespace results
