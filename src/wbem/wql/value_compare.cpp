#include "value_compare.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "../errors.h"
#include "../text.h"

namespace wbem::wql {

bool holds(ast::CompareOp op, Order order) {
    using ast::CompareOp;
    if (order == Order::Unordered) return false;
    switch (op) {
        case CompareOp::Equal:
            return order == Order::Equal;
        case CompareOp::NotEqual:
            return order != Order::Equal;
        case CompareOp::Less:
            return order == Order::Less;
        case CompareOp::Greater:
            return order == Order::Greater;
        case CompareOp::LessEqual:
            return order != Order::Greater;
        case CompareOp::GreaterEqual:
            return order != Order::Less;
    }
    return false;
}

CimValue Number::toValue() const {
    switch (kind) {
        case Kind::SInt:
            return CimValue::sint(s);
        case Kind::UInt:
            return CimValue::uint(u);
        case Kind::Real:
            return CimValue::real(r);
    }
    return {};
}

std::optional<Number> numberOf(const CimValue& v) {
    switch (v.kind()) {
        case CimValue::Kind::SInt:
            return Number::sint(v.asSInt());
        case CimValue::Kind::UInt:
            return Number::uint(v.asUInt());
        case CimValue::Kind::Real:
            return Number::real(v.asReal());
        default:
            return std::nullopt;
    }
}

namespace {

template <class T>
Order order3(T a, T b) {
    return a < b ? Order::Less : (b < a ? Order::Greater : Order::Equal);
}

// long double holds every 64-bit integer exactly on the platforms we build
// for (x87 extended or IEEE quad), so mixed real/integer compares are exact.
long double wide(const Number& n) {
    switch (n.kind) {
        case Number::Kind::SInt:
            return static_cast<long double>(n.s);
        case Number::Kind::UInt:
            return static_cast<long double>(n.u);
        case Number::Kind::Real:
            return static_cast<long double>(n.r);
    }
    return 0;
}

}  // namespace

Order compareNumbers(const Number& a, const Number& b) {
    using K = Number::Kind;
    if (a.kind == K::Real || b.kind == K::Real) {
        long double x = wide(a), y = wide(b);
        if (std::isnan(x) || std::isnan(y)) return Order::Unordered;
        return order3(x, y);
    }
    if (a.kind == K::SInt && b.kind == K::SInt) return order3(a.s, b.s);
    if (a.kind == K::UInt && b.kind == K::UInt) return order3(a.u, b.u);
    if (a.kind == K::SInt) return a.s < 0 ? Order::Less : order3(uint64_t(a.s), b.u);
    return b.s < 0 ? Order::Greater : order3(a.u, uint64_t(b.s));
}

std::optional<Number> parseNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    bool negative = false;
    std::string_view digits = text;
    if (digits[0] == '-' || digits[0] == '+') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() ||
        !(std::isdigit(static_cast<unsigned char>(digits[0])) || digits[0] == '.'))
        return std::nullopt;
    uint64_t mag = 0;
    std::from_chars_result r{};
    bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (hex) {
        r = std::from_chars(digits.data() + 2, digits.data() + digits.size(), mag, 16);
    } else {
        r = std::from_chars(digits.data(), digits.data() + digits.size(), mag, 10);
    }
    if (r.ec == std::errc() && r.ptr == digits.data() + digits.size()) {
        if (!negative) return Number::uint(mag);
        if (mag > (uint64_t(1) << 63)) return std::nullopt;
        return Number::sint(int64_t(uint64_t(0) - mag));
    }
    if (hex) return std::nullopt;
    // from_chars takes a leading '-' but not '+'.
    std::string_view body = text[0] == '+' ? text.substr(1) : text;
    double d = 0;
    auto rr = std::from_chars(body.data(), body.data() + body.size(), d);
    if (rr.ec != std::errc() || rr.ptr != body.data() + body.size() || !std::isfinite(d))
        return std::nullopt;
    return Number::real(d);
}

std::string numberText(const Number& n) {
    char buf[64];
    std::to_chars_result r{};
    switch (n.kind) {
        case Number::Kind::SInt:
            r = std::to_chars(buf, buf + sizeof buf, n.s);
            break;
        case Number::Kind::UInt:
            r = std::to_chars(buf, buf + sizeof buf, n.u);
            break;
        case Number::Kind::Real:
            r = std::to_chars(buf, buf + sizeof buf, n.r);
            break;
    }
    return std::string(buf, r.ptr);
}

Order compareValue(const CimValue& v, const BoundConstant& c) {
    switch (v.kind()) {
        case CimValue::Kind::Bool:
            if (!c.boolean) return Order::Unordered;
            return order3(int(v.asBool()), int(*c.boolean));
        case CimValue::Kind::SInt:
            if (!c.number) return Order::Unordered;
            return compareNumbers(Number::sint(v.asSInt()), *c.number);
        case CimValue::Kind::UInt:
            if (!c.number) return Order::Unordered;
            return compareNumbers(Number::uint(v.asUInt()), *c.number);
        case CimValue::Kind::Real:
            if (!c.number) return Order::Unordered;
            return compareNumbers(Number::real(v.asReal()), *c.number);
        case CimValue::Kind::String: {
            const std::string& s = v.asString();
            if (c.path) {
                try {
                    return samePath(parseObjectPath(s), *c.path) ? Order::Equal : Order::Less;
                } catch (const WbemError&) {
                    // Not a path after all: compare as text below.
                }
            }
            if (c.text) {
                int cmp = icompare(s, *c.text);
                return cmp < 0 ? Order::Less : (cmp > 0 ? Order::Greater : Order::Equal);
            }
            if (c.number) {
                // A number held as text (as 64-bit integers travel elsewhere).
                if (auto n = parseNumber(s)) return compareNumbers(*n, *c.number);
            }
            return Order::Unordered;
        }
        default:
            return Order::Unordered;
    }
}

}  // namespace wbem::wql
