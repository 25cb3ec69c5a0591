#include "help/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

namespace {

TEST(SystemErrorText, GivesTheSystemsTextOfKnownCodes) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {ENOENT, "No such file or directory"},
        {EACCES, "Permission denied"},
        {EINVAL, "Invalid argument"},
        {ECONNREFUSED, "Connection refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(help::SystemErrorText(c.code), c.text) << c.code;
}

TEST(SystemErrorText, CodesWithoutTextGiveTheFallback) {
    // The system makes up "Unknown error N" for these; that is no description.
    for (int code : {-1, 134, 4000, 99999, INT_MAX, INT_MIN})
        EXPECT_EQ(help::SystemErrorText(code),
                  "Cannot retrieve error description (error #" + std::to_string(code) + ")");
}

TEST(SystemErrorText, TextsCarryNoSurroundingBlanks) {
    for (int code = 1; code < 134; ++code) {
        const std::string text = help::SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_GT(static_cast<unsigned char>(text.front()), ' ') << code;
        EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << code;
    }
}

}  // namespace
