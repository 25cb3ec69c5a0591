#include "ui/query_logic.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/grid_rules.h"

namespace {

TEST(ResultColumnWidth, FollowsTheClientWidthWithAFloorOf90) {
    struct Case {
        int clientWidth, columns, width;
    } cases[] = {
        {700, 1, 304}, {700, 2, 304}, {700, 3, 232}, {700, 5, 139}, {700, 10, 90},
        {575, 1, 250}, {300, 3, 99},  {100, 2, 90},  {0, 1, 90},    {1000, 4, 249},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::resultColumnWidth(c.clientWidth, c.columns), c.width)
            << c.clientWidth << " / " << c.columns;
}

TEST(ExecutionTimeText, FourDecimalsWithTheUsersSeparator) {
    EXPECT_EQ(ui::executionTimeText(0.125, "."), "Query execution time: 0.1250 sec");
    EXPECT_EQ(ui::executionTimeText(12.3456789, ","), "Query execution time: 12,3457 sec");
    EXPECT_EQ(ui::executionTimeText(0.001, "."), "Query execution time: 0.0010 sec");
}

TEST(QueryStatusText, RowsBesideTheTimeOrAlone) {
    const std::string time = "Query execution time: 0.1250 sec";
    EXPECT_EQ(ui::queryStatusText(time, 12), "12 rows \u00b7 " + time);
    EXPECT_EQ(ui::queryStatusText(time, 1), "1 row \u00b7 " + time);
    EXPECT_EQ(ui::queryStatusText(time, 0), "0 rows \u00b7 " + time);
    EXPECT_EQ(ui::queryStatusText("", 0), "0 rows");
    EXPECT_EQ(ui::queryStatusText("", 3), "3 rows");
}

TEST(ValueColumnWidth, FillsTheGridUnlessTheNameColumnIsWider) {
    struct Case {
        int client, name, value;
        std::optional<int> result;
    } cases[] = {
        {600, 200, 200, 395},           // fills the rest, less 5
        {600, 200, 500, 395},           // shrinks back as well
        {300, 200, 200, 200},           // never narrower than the name column
        {600, 250, 200, std::nullopt},  // the user made the names wider: both stay
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::valueColumnWidth(c.client, c.name, c.value), c.result)
            << c.client << " " << c.name << " " << c.value;
}

}  // namespace
