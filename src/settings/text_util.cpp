#include "settings/text_util.h"

#include <charconv>

#include "wbem/text.h"

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

std::optional<int32_t> numberedKeyIndex(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() || !wbem::iequals(key.substr(0, prefix.size()), prefix))
        return std::nullopt;
    std::string_view digits = key.substr(prefix.size());
    if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    return parseInt32(digits);
}

}  // namespace settings
