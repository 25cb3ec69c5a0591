// WQL LIKE patterns: % (any run of characters), _ (one character), [abc],
// [a-f] and [^...] (one character in or not in a set). Matching ignores case.
//
// A pattern is compiled once per query. Patterns made of literal text with %
// only at the ends ('abc', 'abc%', '%abc', '%abc%') match by a plain
// case-insensitive comparison or substring search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wbem::wql {

class LikePattern {
  public:
    // Null when the pattern is malformed (a [ without its ]); errorAt then
    // receives the offset of the [ in the pattern.
    static std::optional<LikePattern> compile(std::string_view pattern, size_t* errorAt = nullptr);

    bool matches(std::string_view text) const;

  private:
    enum class Mode : uint8_t { Exact, Prefix, Suffix, Contains, Any, General };
    struct Element {
        enum class Kind : uint8_t { Char, AnyChar, Set, Star } kind;
        bool negated = false;
        char32_t ch = 0;     // Char: the character, ASCII letters lowered
        uint32_t first = 0;  // Set: its ranges in ranges_
        uint32_t count = 0;
    };

    bool matchGeneral(std::string_view text) const;
    bool matchOne(const Element& e, char32_t c) const;

    Mode mode_ = Mode::General;
    std::string literal_;  // the text of the fast modes, ASCII letters lowered
    std::vector<Element> elements_;
    std::vector<std::pair<char32_t, char32_t>> ranges_;
};

}  // namespace wbem::wql
