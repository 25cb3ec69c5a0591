#include "value_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "../errors.h"
#include "../text.h"
#include "datetime_text.h"
#include "object_path.h"

namespace wbem {

namespace {

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void refuse(const std::string& why) { fail(hr::TypeMismatch, why); }

[[noreturn]] void invalidArgument(const std::string& why) {
    fail(hr::InvalidParameter, describeWithReason(hr::InvalidParameter, why));
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

[[noreturn]] void notA(std::string_view text, CimType type) {
    refuse(quoted(text) + " is not a " + std::string(cimTypeName(type)) + ".");
}

struct IntegerRange {
    int64_t low;
    uint64_t high;
};

IntegerRange rangeOf(CimType type) {
    switch (type) {
        case CimType::SInt8:
            return {INT8_MIN, INT8_MAX};
        case CimType::SInt16:
            return {INT16_MIN, INT16_MAX};
        case CimType::SInt32:
            return {INT32_MIN, INT32_MAX};
        case CimType::SInt64:
            return {INT64_MIN, INT64_MAX};
        case CimType::UInt8:
            return {0, UINT8_MAX};
        case CimType::UInt16:
            return {0, UINT16_MAX};
        case CimType::UInt32:
            return {0, UINT32_MAX};
        default:
            return {0, UINT64_MAX};
    }
}

ScalarRead faulty(TextFault fault) { return {CimValue(), fault}; }

ScalarRead integerRead(std::string_view text, CimType type) {
    std::string_view digits = trimmed(text);
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    if (digits.empty() || digits[0] == '+' || digits[0] == '-') return faulty(TextFault::NotA);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (ec == std::errc() && end != digits.data() + digits.size()) return faulty(TextFault::NotA);
    if (ec == std::errc::result_out_of_range) return faulty(TextFault::OutOfRange);
    if (ec != std::errc()) return faulty(TextFault::NotA);
    const IntegerRange range = rangeOf(type);
    if (negative && magnitude != 0) {
        // The lowest value's magnitude, -(low + 1) + 1, written so that it cannot overflow.
        if (range.low == 0 || magnitude - 1 > uint64_t(-(range.low + 1)))
            return faulty(TextFault::OutOfRange);
        return {CimValue::sint(int64_t(uint64_t(0) - magnitude))};
    }
    if (magnitude > range.high) return faulty(TextFault::OutOfRange);
    if (isSignedType(type)) return {CimValue::sint(int64_t(magnitude))};
    return {CimValue::uint(magnitude)};
}

ScalarRead realRead(std::string_view text, CimType type) {
    std::string_view t = trimmed(text);
    if (iequals(t, "INF") || iequals(t, "+INF"))
        return {CimValue::real(std::numeric_limits<double>::infinity())};
    if (iequals(t, "-INF")) return {CimValue::real(-std::numeric_limits<double>::infinity())};
    if (iequals(t, "NaN")) return {CimValue::real(std::numeric_limits<double>::quiet_NaN())};
    std::string_view body = t;
    if (!body.empty() && body[0] == '+') body.remove_prefix(1);
    // from_chars also reads "inf" and "nan(...)"; only numbers get this far.
    const size_t first = !body.empty() && body[0] == '-' ? 1 : 0;
    if (body.size() <= first || !(isAsciiDigit(body[first]) || body[first] == '.'))
        return faulty(TextFault::NotA);
    double d = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), d);
    if (ec == std::errc() && end != body.data() + body.size()) return faulty(TextFault::NotA);
    if (ec == std::errc::result_out_of_range ||
        (type == CimType::Real32 && std::fabs(d) > double(FLT_MAX)))
        return faulty(TextFault::OutOfRange);
    if (ec != std::errc()) return faulty(TextFault::NotA);
    return {CimValue::real(d)};
}

CimValue integerFrom(std::string_view text, CimType type) {
    ScalarRead r = integerRead(text, type);
    if (r.fault == TextFault::NotA) notA(text, type);
    if (r.fault == TextFault::OutOfRange) {
        const IntegerRange range = rangeOf(type);
        refuse(quoted(trimmed(text)) + " is out of the range of a " +
               std::string(cimTypeName(type)) + " (" + std::to_string(range.low) + " to " +
               std::to_string(range.high) + ").");
    }
    return std::move(r.value);
}

CimValue realFrom(std::string_view text, CimType type) {
    ScalarRead r = realRead(text, type);
    if (r.fault == TextFault::NotA) notA(text, type);
    if (r.fault == TextFault::OutOfRange)
        refuse(quoted(trimmed(text)) + " is out of the range of a " +
               std::string(cimTypeName(type)) + ".");
    return std::move(r.value);
}

CimValue booleanFrom(std::string_view text) {
    const std::string_view t = trimmed(text);
    if (iequals(t, "true") || t == "1") return CimValue::boolean(true);
    if (iequals(t, "false") || t == "0") return CimValue::boolean(false);
    notA(text, CimType::Boolean);
}

CimValue dateTimeFrom(std::string_view text) {
    const std::string_view t = trimmed(text);
    if (!readCimDateTime(t))
        refuse(quoted(t) +
               " is not a datetime (yyyymmddHHMMSS.mmmmmmsUUU, for example "
               "20261211013000.000000+060, or ddddddddHHMMSS.mmmmmm:000 for an interval).");
    return CimValue::string(std::string(t));
}

CimValue char16From(std::string_view text) {
    auto cp = singleCodePoint(text);
    if (!cp) notA(text, CimType::Char16);
    if (*cp > 0xFFFF)
        refuse(quoted(text) + " lies outside the range of a char16 (U+0000 to U+FFFF).");
    return CimValue::uint(*cp);
}

CimValue referenceFrom(std::string_view text) {
    const std::string_view t = trimmed(text);
    std::string why;
    try {
        if (!parseObjectPath(t).className.empty()) return CimValue::string(std::string(t));
    } catch (const WbemError& e) {
        why = std::string(" (") + e.what() + ")";
    }
    refuse(quoted(t) + " is not an object path" + why + ".");
}

CimValue scalarFrom(std::string_view text, CimType type) {
    switch (type) {
        case CimType::String:
            return CimValue::string(std::string(text));
        case CimType::Boolean:
            return booleanFrom(text);
        case CimType::DateTime:
            return dateTimeFrom(text);
        case CimType::Reference:
            return referenceFrom(text);
        case CimType::Char16:
            return char16From(text);
        case CimType::Real32:
        case CimType::Real64:
            return realFrom(text, type);
        case CimType::Object:
            refuse("An embedded object cannot be given as text.");
        default:
            return integerFrom(text, type);
    }
}

}  // namespace

ScalarRead readInteger(std::string_view text, CimType type) { return integerRead(text, type); }
ScalarRead readReal(std::string_view text, CimType type) { return realRead(text, type); }

std::optional<uint32_t> singleCodePoint(std::string_view s) {
    if (s.empty() || s.size() > 4 || !isValidUtf8(s)) return std::nullopt;
    auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(s[i])); };
    const uint32_t lead = b(0);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (s.size() != n) return std::nullopt;
    if (n == 1) return lead;
    uint32_t cp = lead & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) cp = (cp << 6) | (b(i) & 0x3F);
    return cp;
}

std::vector<std::string_view> arrayElementTexts(std::string_view text) {
    std::vector<std::string_view> elements;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view element = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!element.empty() && element.back() == '\r') element.remove_suffix(1);
        elements.push_back(element);
    }
    return elements;
}

CimValue parseValueText(std::string_view text, const CimTypeDecl& type) {
    if (!type.isArray) return scalarFrom(text, type.type);
    CimValue::Array items;
    size_t line = 0;
    for (std::string_view element : arrayElementTexts(text)) {
        ++line;
        try {
            items.push_back(scalarFrom(element, type.type));
        } catch (const WbemError& e) {
            refuse("Line " + std::to_string(line) + ": " + e.what());
        }
    }
    return CimValue::array(std::move(items));
}

std::vector<ArgumentMatch> matchArguments(const MethodDef* method, const ArgumentTexts& given) {
    std::vector<ArgumentMatch> out;
    out.reserve(given.size());
    for (const auto& givenName : given) {
        ArgumentMatch match{trimmed(givenName.first), nullptr};
        if (method) {
            for (const ParameterDef& p : method->parameters)
                if (p.in && iequals(p.name, match.name)) {
                    match = {p.name, &p};
                    break;
                }
            if (!match.declared)
                invalidArgument(method->name + " has no in-parameter " + std::string(match.name) +
                                ".");
        }
        for (const ArgumentMatch& done : out)
            if (iequals(done.name, match.name))
                invalidArgument(std::string(match.name) + " is given twice.");
        out.push_back(match);
    }
    return out;
}

TypedArguments readArguments(const MethodDef& method, const ArgumentTexts& given) {
    const std::vector<ArgumentMatch> matches = matchArguments(&method, given);
    TypedArguments out;
    out.reserve(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) {
        const ParameterDef& p = *matches[i].declared;
        try {
            out.emplace_back(p.name, parseValueText(given[i].second, p.type));
        } catch (const WbemError& e) {
            invalidArgument(p.name + ": " + e.what());
        }
    }
    return out;
}

}  // namespace wbem
