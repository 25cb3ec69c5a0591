#include "export/report_time.h"

#include <gtest/gtest.h>

namespace exporter {
namespace {

std::tm afternoon() {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;  // March
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    t.tm_wday = 2;
    return t;
}

TEST(FormatReportTime, JoinsShortDateAndLongTimeWithAt) {
    wmi::UserFormats formats;  // the C locale's formats
    EXPECT_EQ(FormatReportTime(afternoon(), formats), "03/05/24 at 14:07:09");
    formats.shortDate = "%d.%m.%Y";
    EXPECT_EQ(FormatReportTime(afternoon(), formats), "05.03.2024 at 14:07:09");
}

}  // namespace
}  // namespace exporter
