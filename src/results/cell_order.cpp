#include "cell_order.h"

namespace results {

std::optional<int32_t> textAsInteger(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<int32_t>(value);
}

int compareCells(std::string_view a, std::string_view b, bool ascending) {
    int result;
    auto x = textAsInteger(a);
    auto y = textAsInteger(b);
    // Both integers compare by value, -1 included: -1 is a number, not a marker.
    if (x && y) {
        result = *x > *y ? 1 : (*x < *y ? -1 : 0);
    } else {
        int c = a.compare(b);  // char_traits<char> compares as unsigned char
        result = c > 0 ? 1 : (c < 0 ? -1 : 0);
    }
    return ascending ? result : -result;
}

}  // namespace results
