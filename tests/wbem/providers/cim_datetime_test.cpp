#include "wbem/providers/cim_datetime.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace wbem {
namespace {

TEST(CimDateTimeTest, WritesLocalTimeWithTheOffsetInMinutes) {
    struct Case {
        int64_t epoch;
        uint32_t micros;
        int offset;
        const char* expected;
    };
    const Case cases[] = {
        {0, 0, 0, "19700101000000.000000+000"},
        {1704462301, 250000, 60, "20240105144501.250000+060"},
        {1704462301, 250000, -300, "20240105084501.250000-300"},
        {1704462301, 7, 330, "20240105191501.000007+330"},
        {-1, 0, 0, "19691231235959.000000+000"},
        // Micros past a second carry into the seconds.
        {0, 1500000, 0, "19700101000001.500000+000"},
        {951782400, 0, 0, "20000229000000.000000+000"},
        {4102444799, 999999, 0, "20991231235959.999999+000"},
    };
    for (const Case& c : cases) {
        const std::string s = cimDateTime(c.epoch, c.micros, c.offset);
        EXPECT_EQ(s, c.expected) << c.epoch;
        EXPECT_TRUE(test::isCimDateTime(s)) << s;
    }
}

TEST(CimDateTimeTest, LocalFormsAreWellFormed) {
    EXPECT_TRUE(test::isCimDateTime(cimDateTimeNow()));
    const std::string boot = cimDateTime(1700000000, 5);
    EXPECT_TRUE(test::isCimDateTime(boot));
    // The offset written is the zone's at that instant.
    const int off = utcOffsetMinutes(1700000000);
    EXPECT_EQ(boot, cimDateTime(1700000000, 5, off));
}

TEST(CivilToEpochTest, AcceptsRealDatesOnly) {
    EXPECT_EQ(civilToEpoch(1970, 1, 1), 0);
    EXPECT_EQ(civilToEpoch(2024, 1, 5), 1704412800);
    EXPECT_EQ(civilToEpoch(2000, 2, 29), 951782400);
    EXPECT_FALSE(civilToEpoch(1900, 2, 29));
    EXPECT_FALSE(civilToEpoch(2023, 2, 29));
    EXPECT_FALSE(civilToEpoch(2023, 13, 1));
    EXPECT_FALSE(civilToEpoch(2023, 4, 31));
    EXPECT_FALSE(civilToEpoch(2023, 0, 10));
}

}  // namespace
}  // namespace wbem
