#include "wbem/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(IEquals, FoldsOnlyAsciiLettersAndNeverMatchesAnotherLength) {
    const struct {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"", "", true},
        {"Win32_Process", "Win32_Process", true},
        {"Win32_Process", "WIN32_process", true},
        {"a", "", false},
        {"abc", "abcd", false},    // a prefix
        {"ABCD", "abc", false},    // a prefix in other case
        {"abc", "abd", false},     // differs at the end
        {"xbc", "abc", false},     // differs at the start
        {"a\0b"s, "a\0B"s, true},  // bytes past a NUL count
        {"a\0b"s, "a\0c"s, false},
        {"@", "`", false},  // neighbours of the letters differ by the case bit
        {"[", "{", false},
        {"\xc3\x89", "\xc3\xa9", false},  // É and é: only ASCII folds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.a + "\" \"" + c.b + "\"");
        EXPECT_EQ(wbem::iequals(c.a, c.b), c.equal);
        EXPECT_EQ(wbem::iequals(c.b, c.a), c.equal);
    }
}

}  // namespace
