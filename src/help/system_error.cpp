#include "help/system_error.h"

#include <string.h>  // strerror_r (GNU), strerrorname_np

namespace help {

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(const char* text) {
    std::string s(text);
    size_t begin = 0;
    while (begin < s.size() && isBlank(s[begin])) ++begin;
    size_t end = s.size();
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

}  // namespace

std::string SystemErrorText(int code) {
    // glibc makes up "Unknown error N" for codes it does not know; only codes
    // that have a name have a real text.
    if (code >= 0 && strerrorname_np(code) != nullptr) {
        char buffer[512];
        std::string text = trimmed(strerror_r(code, buffer, sizeof buffer));
        if (!text.empty()) return text;
    }
    return "Cannot retrieve error description (error #" + std::to_string(code) + ")";
}

}  // namespace help
