#include "help/support_mail.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseOsVersion, TakesMajorAndMinorFromTheRelease) {
    const struct {
        const char* release;
        int major;
        int minor;
    } cases[] = {
        {"6.1.0-13-amd64", 6, 1},
        {"5.15.90.1-microsoft-standard-WSL2", 5, 15},
        {"10.0", 10, 0},
        {"6", 6, 0},
        {"6.x", 6, 0},
        {"", 0, 0},
        {"rc-1", 0, 0},
    };
    for (const auto& c : cases) {
        const help::OsVersion os = help::ParseOsVersion("Linux", c.release);
        EXPECT_EQ(os.major, c.major) << c.release;
        EXPECT_EQ(os.minor, c.minor) << c.release;
        EXPECT_EQ(os.build, c.release);
        EXPECT_EQ(os.name, "Linux");
    }
}

TEST(SupportMailAddress, SubjectNamesVersionAndSystem) {
    const struct {
        help::OsVersion os;
        const char* subject;
    } cases[] = {
        {{"Windows", 5, 1, "2600"}, "Question about Cimscope 1.10 on Windows 5.01 (2600). "},
        {{"Windows", 6, 1, "7601"}, "Question about Cimscope 1.10 on Windows 6.01 (7601). "},
        {{"Windows", 10, 0, "19045"}, "Question about Cimscope 1.10 on Windows 10.00 (19045). "},
        {{"Linux", 6, 1, "6.1.0-13-amd64"},
         "Question about Cimscope 1.10 on Linux 6.01 (6.1.0-13-amd64). "},
        {{"Linux", 5, 15, "5.15.0"}, "Question about Cimscope 1.10 on Linux 5.15 (5.15.0). "},
        // A release that would cut the subject short or start a fragment.
        {{"Linux", 6, 9, "6.9#1&x=%"},
         "Question about Cimscope 1.10 on Linux 6.09 (6.9%231%26x=%25). "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(help::SupportMailAddress("support@example.org", "1.10", c.os),
                  std::string("mailto:support@example.org?subject=") + c.subject);
}

TEST(CurrentOsVersion, DescribesThisMachine) {
    const help::OsVersion os = help::CurrentOsVersion();
    EXPECT_EQ(os.name, "Linux");
    EXPECT_GT(os.major, 0);
    EXPECT_FALSE(os.build.empty());
}

}  // namespace
