#include "connect/text_util.h"

#include <charconv>

namespace settings {

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
