#include "wbem/repository/datetime_text.h"

#include <gtest/gtest.h>

#include <optional>

namespace wbem {
namespace {

using Field = std::optional<int>;
constexpr std::nullopt_t open = std::nullopt;

TEST(CimDateTimeTextTest, ReadsTheFieldsOfTimestampsAndIntervals) {
    struct Case {
        const char* text;
        bool interval;
        Field year, month, day, days, hour, minute, second;
        int microseconds, microsecondDigits;
        Field offset;
        bool complete;
    };
    const Case cases[] = {
        {"20240105134501.250000+060", false, 2024, 1, 5, open, 13, 45, 1, 250000, 6, 60, true},
        {"19980525133015.000000-300", false, 1998, 5, 25, open, 13, 30, 15, 0, 6, -300, true},
        {"00000101000000.000000+000", false, 0, 1, 1, open, 0, 0, 0, 0, 6, 0, true},
        {"99991231235959.999999-999", false, 9999, 12, 31, open, 23, 59, 59, 999999, 6, -999, true},
        {"20161231235960.000000+000", false, 2016, 12, 31, open, 23, 59, 60, 0, 6, 0, true},
        // Fields left open: whole fields, the offset as WMI writes it, and
        // the microseconds' trailing digits.
        {"2026**11013000.******+000", false, 2026, open, 11, open, 1, 30, 0, 0, 0, 0, false},
        {"********134501.000000+***", false, open, open, open, open, 13, 45, 1, 0, 6, open, false},
        {"20240105134501.125***+060", false, 2024, 1, 5, open, 13, 45, 1, 125000, 3, 60, false},
        {"00000001132312.000000:000", true, open, open, open, 1, 13, 23, 12, 0, 6, open, true},
        {"99999999235959.999999:000", true, open, open, open, 99999999, 23, 59, 59, 999999, 6, open,
         true},
        {"00000001132312.125***:000", true, open, open, open, 1, 13, 23, 12, 125000, 3, open,
         false},
        {"00000001******.******:000", true, open, open, open, 1, open, open, open, 0, 0, open,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = readCimDateTime(c.text);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->interval, c.interval);
        EXPECT_EQ(d->year, c.year);
        EXPECT_EQ(d->month, c.month);
        EXPECT_EQ(d->day, c.day);
        EXPECT_EQ(d->days, c.days);
        EXPECT_EQ(d->hour, c.hour);
        EXPECT_EQ(d->minute, c.minute);
        EXPECT_EQ(d->second, c.second);
        EXPECT_EQ(d->microseconds, c.microseconds);
        EXPECT_EQ(d->microsecondDigits, c.microsecondDigits);
        EXPECT_EQ(d->offsetMinutes, c.offset);
        EXPECT_EQ(d->complete(), c.complete);
    }
}

TEST(CimDateTimeTextTest, RefusesMalformedText) {
    const char* cases[] = {
        "",
        "2024-01-05",
        "20240105134501.250000+06",    // a character short
        "20240105134501.250000+0600",  // a character over
        " 20240105134501.250000+060",  // blanks are the caller's to trim
        "20240105134501,250000+060",   // separator
        "20240105134501.250000*060",   // sign
        "20240105134501.250000 060",
        "2024010513450x.250000+060",  // not a digit
        "20240105134501.25000a+060",
        "20240105134501.250000+06a",
        "-0240105134501.250000+060",
        "20241305134501.250000+060",  // month 13
        "20240005134501.250000+060",  // month 0
        "20240100134501.250000+060",  // day 0
        "20240132134501.250000+060",  // day 32
        "20240105244501.250000+060",  // hour 24
        "20240105136001.250000+060",  // minute 60
        "20240105134561.250000+060",  // second 61
        "2024*105134501.250000+060",  // part of a field open
        "20240105134501.**5000+060",  // open microseconds digits before given ones
        "20240105134501.250000+0*0",
        "00000001132360.000000:000",  // an interval's second 60
        "00000001242312.000000:000",
        "00000001132312.000000:060",  // an interval has no offset
        "00000001132312.000000:***",
        "0000000*132312.000000:000",
    };
    for (const char* text : cases) EXPECT_FALSE(readCimDateTime(text)) << text;
}

}  // namespace
}  // namespace wbem
