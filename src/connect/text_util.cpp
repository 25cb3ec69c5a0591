#include "connect/text_util.h"

#include <charconv>

namespace settings {

namespace {
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::optional<int32_t> parseInt32(std::string_view s) {
    bool hadPlus = !s.empty() && s.front() == '+';
    if (hadPlus) s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || (hadPlus && s.front() == '-')) return std::nullopt;
    int32_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

}  // namespace settings
