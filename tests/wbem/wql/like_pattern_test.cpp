#include "wbem/wql/like_pattern.h"

#include <gtest/gtest.h>

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
