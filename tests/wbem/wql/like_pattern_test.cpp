#include "wbem/wql/like_pattern.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace wbem::wql {
namespace {

TEST(LikePattern, Table) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        // Literal text: whole-string, case-insensitive.
        {"abc", "abc", true},
        {"abc", "ABC", true},
        {"abc", "abcd", false},
        {"abc", "ab", false},
        {"", "", true},
        {"", "a", false},
        // % anywhere.
        {"%", "", true},
        {"%", "anything", true},
        {"%%", "x", true},
        {"a%", "aXYZ", true},
        {"a%", "ba", false},
        {"%z", "xyZ", true},
        {"%z", "zx", false},
        {"%7%", "item 17 x", true},
        {"%7%", "item 18", false},
        {"%Ab%", "xxaBxx", true},
        {"%ab%", "a", false},
        {"%ab%", "xaxbab", true},
        {"a%c", "abbbc", true},
        {"a%c", "abbbcd", false},
        {"a%b%c", "aXbYc", true},
        {"a%b%c", "aXcYb", false},
        {"%a%a%a%", "banana", true},
        {"%a%a%a%a%", "banana", false},
        // Runs of % and _ mean "at least as many characters as _".
        {"%_b", "ab", true},
        {"%_b", "b", false},
        {"_%", "", false},
        {"_%", "x", true},
        {"%__%", "a", false},
        {"%__%", "ab", true},
        {"a%_", "a", false},
        {"a%_", "ab", true},
        {"a_%_c", "abc", false},
        {"a_%_c", "axyc", true},
        {"%_%_%b", "xb", false},
        {"%_%_%b", "xyb", true},
        // _ is exactly one character, a UTF-8 sequence counting as one.
        {"_", "a", true},
        {"_", "", false},
        {"_", "ab", false},
        {"a_c", "abc", true},
        {"a_c", "ac", false},
        {"_\xC3\xA9", "x\xC3\xA9", true},
        {"__", "\xC3\xA9", false},
        {"_", "\xE2\x82\xAC", true},
        {"%_", "", false},
        {"%__", "a", false},
        // Sets and ranges.
        {"[abc]", "b", true},
        {"[abc]", "B", true},
        {"[abc]", "d", false},
        {"[a-f]x", "Dx", true},
        {"[a-f]x", "gx", false},
        {"[A-F]", "c", true},
        {"[0-9][0-9]", "42", true},
        {"[0-9][0-9]", "4a", false},
        {"[^abc]", "d", true},
        {"[^abc]", "a", false},
        {"[^abc]", "A", false},
        {"[^a-f]%", "zebra", true},
        {"[^a-f]%", "Apple", false},
        {"[_]", "_", true},
        {"[_]", "a", false},
        {"%[_][_]%", "__CLASS", true},
        {"%[_][_]%", "_C_L", false},
        {"[%]", "%", true},
        {"[a-]", "-", true},
        {"[-a]", "-", true},
        {"[]]", "]", true},
        {"[^]]", "]", false},
        {"a]", "a]", true},
        {"[\xC3\xA9\xC3\xA8]", "\xC3\xA8", true},
        // Mixed, with backtracking over %.
        {"%[0-9]_", "ab7x", true},
        {"%[0-9]_", "ab7", false},
        {"Win32[_]%", "win32_Process", true},
        {"%.exe", "NOTEPAD.EXE", true},
        {"%a%b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.pattern + "' vs '" + c.text + "'");
        auto p = LikePattern::compile(c.pattern);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->matches(c.text), c.match);
    }
}

// An independent matcher to compare with: the textbook table of which
// pattern prefixes match which text prefixes, over code points of valid
// UTF-8, letters A-Z folded.
std::vector<char32_t> codePoints(const std::string& s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
        } else {  // the tests' texts hold two-byte sequences only
            out.push_back(
                char32_t((c & 0x1F) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3F)));
            i += 2;
        }
    }
    return out;
}

bool referenceMatch(const std::string& patternText, const std::string& textBytes) {
    const auto fold = [](char32_t c) { return c >= 'A' && c <= 'Z' ? char32_t(c + 32) : c; };
    struct Element {
        enum { Star, One, Set } kind;
        std::vector<char32_t> members;  // One: the character; Set: lo, hi pairs
        bool negated = false;
    };
    const std::vector<char32_t> pattern = codePoints(patternText);
    std::vector<Element> elements;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%') {
            elements.push_back({Element::Star, {}});
        } else if (pattern[i] == '_') {
            elements.push_back({Element::Set, {0, 0x10FFFF}});
        } else if (pattern[i] == '[') {
            Element e{Element::Set, {}};
            if (pattern[++i] == '^') {
                e.negated = true;
                ++i;
            }
            for (bool first = true; first || pattern[i] != ']'; first = false) {
                char32_t lo = pattern[i++], hi = lo;
                if (pattern[i] == '-' && pattern[i + 1] != ']') {
                    hi = pattern[i + 1];
                    i += 2;
                }
                e.members.insert(e.members.end(), {lo, hi});
            }
            elements.push_back(e);
        } else {
            elements.push_back({Element::One, {fold(pattern[i])}});
        }
    }
    const auto takes = [&](const Element& e, char32_t c) {
        if (e.kind == Element::One) return fold(c) == e.members[0];
        bool in = false;
        for (size_t k = 0; k < e.members.size(); k += 2)
            for (char32_t v : {c, fold(c), c >= 'a' && c <= 'z' ? char32_t(c - 32) : c})
                in = in || (v >= e.members[k] && v <= e.members[k + 1]);
        return in != e.negated;
    };
    const std::vector<char32_t> text = codePoints(textBytes);
    // row[j]: the elements so far match the first j characters.
    std::vector<bool> row(text.size() + 1, false);
    row[0] = true;
    for (const Element& e : elements) {
        std::vector<bool> next(text.size() + 1, false);
        for (size_t j = 0; j <= text.size(); ++j) {
            if (e.kind == Element::Star)
                next[j] = row[j] || (j > 0 && next[j - 1]);
            else
                next[j] = j > 0 && row[j - 1] && takes(e, text[j - 1]);
        }
        row = std::move(next);
    }
    return row[text.size()];
}

// Random patterns over a few characters (letters in both cases, a two-byte
// letter, the pattern's own signs) agree with the reference, against random
// texts and against texts made to match them, some changed in one place:
// short patterns, and long ones whose segments pass 64 elements, the width
// of one word of the scan's state.
TEST(LikePattern, AgreesWithTheTextbookMatcher) {
    struct Token {
        std::string pattern;
        std::vector<std::string> takes;  // texts it matches (for %: besides nothing)
    };
    const std::vector<Token> tokens = {
        {"a", {"a", "A"}},
        {"A", {"a"}},
        {"b", {"B"}},
        {"\xC3\xA9", {"\xC3\xA9"}},
        {"%", {"a", "b_", "-"}},
        {"%", {"\xC3\xA9"}},
        {"_", {"c", "\xC3\xA9"}},
        {"_", {"-"}},
        {"[ab]", {"a", "B"}},
        {"[^a]", {"b", "-"}},
        {"[a-b]", {"A", "b"}},
        {"[\xC3\xA9]", {"\xC3\xA9"}},
        {"[_]", {"_"}},
        {"-", {"-"}},
    };
    const std::vector<std::string> letters = {"a", "A", "b", "B", "\xC3\xA9", "_", "-", "c"};
    std::mt19937 random(17);
    const auto below = [&](size_t n) {
        return std::uniform_int_distribution<size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 10000; ++round) {
        const bool longOne = round % 10 == 0;
        const bool madeToMatch = round % 3 != 0;
        std::string pattern;
        std::vector<std::string> pieces;  // of a text the pattern matches
        const size_t patternLength = below(longOne ? 160 : 9);
        for (size_t k = 0; k < patternLength; ++k) {
            const Token* token = &tokens[below(tokens.size())];
            // Long patterns hold few %, so that their segments grow long.
            if (longOne && token->pattern == "%" && below(8)) token = &tokens[6];
            pattern += token->pattern;
            if (token->pattern != "%" || below(2))
                pieces.push_back(token->takes[below(token->takes.size())]);
        }
        if (!madeToMatch) {
            pieces.clear();
            for (size_t k = below(longOne ? 220 : 12); k > 0; --k)
                pieces.push_back(letters[below(letters.size())]);
        } else if (!pieces.empty() && below(2)) {
            pieces[below(pieces.size())] = letters[below(letters.size())];
        }
        std::string text;
        for (const std::string& piece : pieces) text += piece;
        auto p = LikePattern::compile(pattern);
        ASSERT_TRUE(p) << pattern;
        ASSERT_EQ(p->matches(text), referenceMatch(pattern, text))
            << "'" << pattern << "' vs '" << text << "'";
    }
}

TEST(LikePattern, UnclosedSetIsRejectedWithItsOffset) {
    for (auto [pattern, at] : {std::pair<const char*, size_t>{"[abc", 0},
                               {"ab[", 2},
                               {"%[^", 1},
                               {"[]", 0},
                               {"x[a-", 1}}) {
        SCOPED_TRACE(pattern);
        size_t errorAt = 99;
        EXPECT_FALSE(LikePattern::compile(pattern, &errorAt).has_value());
        EXPECT_EQ(errorAt, at);
    }
}

TEST(LikePattern, InvalidUtf8InTextIsHarmless) {
    auto p = LikePattern::compile("a_c");
    ASSERT_TRUE(p);
    EXPECT_TRUE(
        p->matches("a\xFF"
                   "c"));
    EXPECT_FALSE(p->matches("a\xC3"));
    auto q = LikePattern::compile("%\xC3\xA9%");
    ASSERT_TRUE(q);
    EXPECT_FALSE(q->matches("\xC3"));
}

}  // namespace
}  // namespace wbem::wql
