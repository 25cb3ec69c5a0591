#include "ui/query_logic.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ui/grid_rules.h"

namespace {

struct IntegerCase {
    const char* text;
    std::optional<int32_t> value;
};

TEST(TextAsInteger, AcceptsOnlyWhole32BitIntegers) {
    const IntegerCase cases[] = {
        {"0", 0},
        {"42", 42},
        {"   42", 42},
        {"+7", 7},
        {"-5", -5},
        {"-1", -1},
        {"$1F", 31},
        {"0x10", 16},
        {"x10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967296", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"42 ", std::nullopt},
        {"10.5", std::nullopt},
        {"1e3", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"abc", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"\t5", std::nullopt},
        {"5a", std::nullopt},
        {"TRUE", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::textAsInteger(c.text), c.value) << c.text;
}

struct CompareCase {
    const char* a;
    const char* b;
    int ascending;  // sign of the result when ascending
};

TEST(CompareCells, IntegersByValueEverythingElseByBytes) {
    const CompareCase cases[] = {
        {"9", "10", -1},                            // integers by value
        {"10", "10", 0},         {"-5", "-1", -1},  // -1 is an integer like any other
        {"-1", "-5", 1},         {"-1", "5", -1},
        {"-1", "-1", 0},         {"10.5", "9.1", -1},   // not integers: by text
        {"4294967296", "5", -1},                        // out of 32-bit range: by text
        {"abc", "Zebra", 1},                            // byte order is case-sensitive
        {"", "a", -1},                                  // a proper prefix comes first
        {"app", "apple", -1},    {"\xC3\xA9", "z", 1},  // bytes compare unsigned
        {"x", "x", 0},           {"9", "abc", -1},      // mixed pair: by text
        {"$10", "15", 1},                               // hexadecimal 16 against 15
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::compareCells(c.a, c.b, true), c.ascending) << c.a << " vs " << c.b;
        EXPECT_EQ(ui::compareCells(c.a, c.b, false), -c.ascending) << c.a << " vs " << c.b;
    }
}

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
