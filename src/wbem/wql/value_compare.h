// Comparing property values with query constants as WMI does: numbers by
// value whatever their signedness, strings ignoring case, booleans as
// false < true. A null or an array never compares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "../repository/cim_value.h"
#include "../repository/object_path.h"
#include "ast.h"

namespace wbem::wql {

enum class Order : uint8_t { Less, Equal, Greater, Unordered };

bool holds(ast::CompareOp op, Order order);

struct Number {
    enum class Kind : uint8_t { SInt, UInt, Real } kind = Kind::SInt;
    int64_t s = 0;
    uint64_t u = 0;
    double r = 0;

    static Number sint(int64_t v) { return Number{Kind::SInt, v, 0, 0}; }
    static Number uint(uint64_t v) { return Number{Kind::UInt, 0, v, 0}; }
    static Number real(double v) { return Number{Kind::Real, 0, 0, v}; }
    CimValue toValue() const;
};

// The number a value holds (SInt, UInt or Real), if any.
std::optional<Number> numberOf(const CimValue& v);
// Exact for every mix of signed, unsigned and real; NaN is unordered.
Order compareNumbers(const Number& a, const Number& b);
// Decimal or 0x-hexadecimal integer with an optional sign, or a decimal real;
// the whole text must be the number.
std::optional<Number> parseNumber(std::string_view text);
// Decimal text of a number: 42, -7, 1.5 (shortest form that reads back).
std::string numberText(const Number& n);

// The constant of one comparison, prepared for the type of the property it
// meets. Forms that the type cannot use are left empty.
struct BoundConstant {
    std::optional<Number> number;
    std::optional<std::string> text;
    std::optional<bool> boolean;
    std::optional<ObjectPath> path;  // for = and <> on references
};

// Orders a value against the constant using the form that fits the value's
// kind; Unordered when there is none (and for null, arrays and objects).
Order compareValue(const CimValue& v, const BoundConstant& c);

}  // namespace wbem::wql
