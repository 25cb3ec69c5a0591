// WQL LIKE patterns: % (any run of characters), _ (one character), [abc],
// [a-f] and [^...] (one character in or not in a set). Matching ignores case.
//
// A pattern is compiled once per query. Patterns made of literal text with %
// only at the ends ('abc', 'abc%', '%abc', '%abc%') match by a plain
// case-insensitive comparison or substring search. Any other pattern is cut
// at its % into segments whose every element takes exactly one character;
// each segment is found at its leftmost place after the one before (which is
// exact for such patterns), by a bit-parallel scan that keeps one bit per
// element. Matching thus reads the text once per segment at most, at a cost
// per character of one 64-bit word per 64 elements: linear in the text for
// any real pattern, text x pattern / 64 at worst.
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

    // Elements between two %, or between a % and an end of the pattern.
    struct Segment {
        uint32_t first = 0;  // in elements_
        uint32_t count = 0;
        uint32_t words = 0;            // of the scan's state: one bit per element
        std::vector<uint64_t> ascii;   // per ASCII character, the elements it matches
        std::vector<uint64_t> any;     // the elements every character matches (_)
        std::vector<uint32_t> others;  // elements to ask about other characters
    };

    void makeSegments();
    bool matchGeneral(std::string_view text) const;
    bool matchOne(const Element& e, char32_t c) const;
    // Whether the segment matches the text at `pos`; `pos` then follows it.
    bool matchesAt(const Segment& s, std::string_view text, size_t& pos) const;
    // The end of the segment's leftmost match at or after `pos`, or npos;
    // with `atEnd` only a match that ends the text counts.
    size_t findFrom(const Segment& s, std::string_view text, size_t pos, bool atEnd) const;

    Mode mode_ = Mode::General;
    std::string literal_;  // the text of the fast modes, ASCII letters lowered
    std::vector<Element> elements_;
    std::vector<std::pair<char32_t, char32_t>> ranges_;
    // General mode: the segments, and whether the pattern starts and ends
    // without %.
    std::vector<Segment> segments_;
    bool anchoredStart_ = true;
    bool anchoredEnd_ = true;
};

}  // namespace wbem::wql
