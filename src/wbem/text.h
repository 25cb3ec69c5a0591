// Small text helpers shared by the service: ASCII case folding (WMI names and
// keywords ignore case) and UTF-8 hygiene for text read from the system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wbem {

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string lowered(std::string_view s);
namespace detail {
// iequals for two texts of one length.
bool foldedEqual(std::string_view a, std::string_view b);
}  // namespace detail
// Whether the texts are equal ignoring ASCII case. Names are mostly spelled
// alike, so the bytes are compared as they are before any case is folded.
inline bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a == b || detail::foldedEqual(a, b));
}
// <0, 0, >0 like strcmp, ignoring ASCII case.
int icompare(std::string_view a, std::string_view b);

struct ILess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return icompare(a, b) < 0; }
};

// Hash/equality pair for unordered containers keyed by names that ignore case.
struct IHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const;
};
struct IEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return iequals(a, b); }
};

// Appends the UTF-8 encoding of a code point.
void appendUtf8(std::string& out, uint32_t cp);

// Valid UTF-8 copy of the bytes: every invalid sequence becomes U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

// Leading and trailing blanks and control characters removed.
std::string_view trimmed(std::string_view s);

}  // namespace wbem
