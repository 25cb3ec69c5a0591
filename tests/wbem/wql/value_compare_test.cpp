#include "wbem/wql/value_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace wbem::wql {

// Readable failures.
void PrintTo(Order o, std::ostream* os) {
    const char* names[] = {"Less", "Equal", "Greater", "Unordered"};
    *os << names[int(o)];
}

namespace {

TEST(CompareNumbers, MixedKindsCompareByValue) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr uint64_t kUMax = std::numeric_limits<uint64_t>::max();
    struct Case {
        Number a, b;
        Order expected;
    };
    const Case cases[] = {
        {Number::sint(-1), Number::uint(0), Order::Less},
        {Number::sint(-1), Number::uint(kUMax), Order::Less},  // not a wrapped compare
        {Number::uint(kUMax), Number::sint(-1), Order::Greater},
        {Number::sint(kMax), Number::uint(uint64_t(kMax) + 1), Order::Less},
        {Number::sint(5), Number::uint(5), Order::Equal},
        {Number::uint(5), Number::sint(5), Order::Equal},
        {Number::sint(kMin), Number::sint(kMax), Order::Less},
        {Number::uint(kUMax), Number::uint(kUMax - 1), Order::Greater},
        {Number::sint(3), Number::real(2.5), Order::Greater},
        {Number::real(-0.5), Number::uint(0), Order::Less},
        {Number::real(600.0), Number::sint(600), Order::Equal},
        // 2^63 + 1 is not a double, so a naive compare would call these equal.
        {Number::uint((uint64_t(1) << 63) + 1), Number::real(9223372036854775808.0),
         Order::Greater},
        {Number::sint(kMax), Number::real(9223372036854775808.0), Order::Less},
        {Number::real(std::nan("")), Number::sint(0), Order::Unordered},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareNumbers(c.a, c.b), c.expected)
            << numberText(c.a) << " vs " << numberText(c.b);
    }
}

TEST(ParseNumber, WholeTextMustBeANumber) {
    struct Case {
        const char* text;
        std::optional<Number> expected;
    };
    const Case cases[] = {
        {"42", Number::uint(42)},
        {"+42", Number::uint(42)},
        {"-42", Number::sint(-42)},
        {"0x2A", Number::uint(42)},
        {"-0x2A", Number::sint(-42)},
        {"18446744073709551615", Number::uint(std::numeric_limits<uint64_t>::max())},
        {"-9223372036854775808", Number::sint(std::numeric_limits<int64_t>::min())},
        {"1.5", Number::real(1.5)},
        {"-2e3", Number::real(-2000)},
        {".5", Number::real(0.5)},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {" 12", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"0xZZ", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1e999", std::nullopt},
        {"-9223372036854775809", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto n = parseNumber(c.text);
        ASSERT_EQ(n.has_value(), c.expected.has_value());
        if (!n) continue;
        EXPECT_EQ(n->kind, c.expected->kind);
        EXPECT_EQ(compareNumbers(*n, *c.expected), Order::Equal);
    }
}

TEST(CompareValue, NullsArraysAndObjectsNeverCompare) {
    BoundConstant c;
    c.number = Number::uint(1);
    c.text = "1";
    c.boolean = true;
    for (const CimValue& v :
         {CimValue(), CimValue::array({CimValue::uint(1)}), CimValue::object(nullptr)}) {
        EXPECT_EQ(compareValue(v, c), Order::Unordered);
        for (auto op : {ast::CompareOp::Equal, ast::CompareOp::NotEqual, ast::CompareOp::Less,
                        ast::CompareOp::GreaterEqual})
            EXPECT_FALSE(holds(op, compareValue(v, c)));
    }
}

}  // namespace
}  // namespace wbem::wql
