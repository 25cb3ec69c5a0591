#include "help/system_error.h"

#include <string.h>  // strerror_r (GNU), strerrorname_np

#include "wbem/text.h"

namespace help {

std::string SystemErrorText(int code) {
    // glibc makes up "Unknown error N" for codes it does not know; only codes
    // that have a name have a real text.
    if (code >= 0 && strerrorname_np(code) != nullptr) {
        char buffer[512];
        std::string text(wbem::trimmed(strerror_r(code, buffer, sizeof buffer)));
        if (!text.empty()) return text;
    }
    return "Cannot retrieve error description (error #" + std::to_string(code) + ")";
}

}  // namespace help
