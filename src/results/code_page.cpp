#include "code_page.h"

#include <string>

#include "cell_order.h"
#include "wbem/text.h"
#include "wmi/bw_wmi.h"

namespace results {

int32_t codePageFromCodeSet(std::string_view answer) {
    return textAsInteger(wbem::trimmed(answer)).value_or(1250);
}

std::optional<int32_t> targetCodePage(const wmi::TWMI& c) {
    std::string answer;
    if (!wmi::QueryValues(c.Host, c.Namespace, c.User, answer, 1250, false, "", "CodeSet",
                          "Win32_OperatingSystem", c.Password, &c.remote))
        return std::nullopt;
    return codePageFromCodeSet(answer);
}

}  // namespace results
