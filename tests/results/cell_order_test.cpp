// The cell order of query results and the code page of a CodeSet answer.
#include "results/cell_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "results/code_page.h"
#include "wmi/bw_variant.h"

namespace results {
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
    for (const auto& c : cases) EXPECT_EQ(textAsInteger(c.text), c.value) << c.text;
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
        EXPECT_EQ(compareCells(c.a, c.b, true), c.ascending) << c.a << " vs " << c.b;
        EXPECT_EQ(compareCells(c.a, c.b, false), -c.ascending) << c.a << " vs " << c.b;
    }
}

// The sort's keys (a cell's number, its eight bytes after the column's shared
// beginning, its length) must order rows exactly as compareCells does: random
// columns of integers and texts, of integers only, with and without a
// beginning all cells share, texts ending within and past their keys, NUL and
// high bytes, sorted from a shuffled order, against std::stable_sort with
// compareCells itself.
TEST(SortRowOrder, OrdersAsStableSortWithCompareCells) {
    std::mt19937 random(20261211);
    const std::string pieces[] = {
        "",   "a", "ab", "abcdefgh", "abcdefghi", "Z",  "\xC3\xA9", std::string(1, '\0'),
        "0",  "9", "10", "-1",       "$1F",       " 7", "x",        "4294967296",
        "1a", "2"};
    for (int round = 0; round < 200; ++round) {
        const size_t rows = 1 + random() % 60;
        const std::string shared[] = {"", "process-", "/usr/lib/cimscope/module"};
        std::vector<std::string> cells(rows, shared[round % std::size(shared)]);
        const std::string integers[] = {"0", "9", "10", "-1", "$1F", "0x10", " 7", "-2147483648"};
        for (std::string& cell : cells) {
            if (round % 5 == 4) {  // a column of integers only, written in every way
                cell = integers[random() % std::size(integers)];
                continue;
            }
            const size_t parts = random() % 4;
            for (size_t i = 0; i < parts; ++i) cell += pieces[random() % std::size(pieces)];
        }
        std::vector<int32_t> start(rows);
        std::iota(start.begin(), start.end(), 0);
        std::shuffle(start.begin(), start.end(), random);
        for (const bool ascending : {true, false}) {
            std::vector<int32_t> order = start;
            sortRowOrder(
                order, [&](int32_t row) -> const std::string& { return cells[size_t(row)]; },
                ascending);
            std::vector<int32_t> expected = start;
            std::stable_sort(expected.begin(), expected.end(), [&](int32_t a, int32_t b) {
                return compareCells(cells[size_t(a)], cells[size_t(b)], ascending) < 0;
            });
            ASSERT_EQ(order, expected) << "round " << round << (ascending ? " up" : " down");
        }
    }
}

TEST(CodePage, FromTheCodeSetAnswer) {
    struct Case {
        const char* answer;
        int32_t codePage;
    };
    const int32_t local = wmi::LocalCodePage();  // when the answer is no number
    const Case cases[] = {
        {"1252", 1252},       {" 65001\r\n", 65001}, {"$4E4", 1252},         {"", local},
        {"not found", local}, {"12x", local},        {"99999999999", local}, {"1250", 1250},
    };
    for (const Case& c : cases) EXPECT_EQ(codePageFromCodeSet(c.answer), c.codePage) << c.answer;
}

}  // namespace
}  // namespace results
