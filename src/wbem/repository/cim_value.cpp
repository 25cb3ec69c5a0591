#include "cim_value.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "../errors.h"
#include "../text.h"
#include "instance.h"

namespace wbem {

namespace {

struct TypeName {
    CimType type;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {CimType::SInt8, "sint8"},       {CimType::UInt8, "uint8"},
    {CimType::SInt16, "sint16"},     {CimType::UInt16, "uint16"},
    {CimType::SInt32, "sint32"},     {CimType::UInt32, "uint32"},
    {CimType::SInt64, "sint64"},     {CimType::UInt64, "uint64"},
    {CimType::Real32, "real32"},     {CimType::Real64, "real64"},
    {CimType::Boolean, "boolean"},   {CimType::String, "string"},
    {CimType::DateTime, "datetime"}, {CimType::Reference, "ref"},
    {CimType::Char16, "char16"},     {CimType::Object, "object"},
};

struct Range {
    int64_t min;
    uint64_t max;
};

Range rangeOf(CimType t) {
    switch (t) {
        case CimType::SInt8: return {-128, 127};
        case CimType::UInt8: return {0, 255};
        case CimType::SInt16: return {-32768, 32767};
        case CimType::UInt16: return {0, 65535};
        case CimType::Char16: return {0, 65535};
        case CimType::SInt32: return {std::numeric_limits<int32_t>::min(), 2147483647u};
        case CimType::UInt32: return {0, 4294967295u};
        case CimType::SInt64:
            return {std::numeric_limits<int64_t>::min(),
                    uint64_t(std::numeric_limits<int64_t>::max())};
        default: return {0, std::numeric_limits<uint64_t>::max()};
    }
}

[[noreturn]] void mismatch() { fail(hr::TypeMismatch); }

CimValue coerceScalar(const CimValue& v, CimType t) {
    using K = CimValue::Kind;
    if (v.isNull()) return v;
    if (isIntegerType(t)) {
        Range r = rangeOf(t);
        bool neg = false;
        uint64_t mag = 0;
        switch (v.kind()) {
            case K::SInt:
                neg = v.asSInt() < 0;
                mag = neg ? uint64_t(0) - uint64_t(v.asSInt()) : uint64_t(v.asSInt());
                break;
            case K::UInt: mag = v.asUInt(); break;
            case K::String:
                // char16 from a one-character string
                if (t == CimType::Char16 && !v.asString().empty()) {
                    const auto& s = v.asString();
                    auto c = static_cast<unsigned char>(s[0]);
                    if (c < 0x80) return CimValue::uint(c);
                }
                mismatch();
            case K::Bool: mismatch();
            case K::Real: {
                double d = v.asReal();
                if (!(std::floor(d) == d) || std::fabs(d) > 1.8e19) mismatch();
                neg = d < 0;
                mag = static_cast<uint64_t>(std::fabs(d));
                break;
            }
            default: mismatch();
        }
        if (neg) {
            if (r.min >= 0) mismatch();
            if (mag > uint64_t(0) - uint64_t(r.min)) mismatch();
            return CimValue::sint(int64_t(uint64_t(0) - mag));
        }
        if (mag > r.max) mismatch();
        return isSignedType(t) ? CimValue::sint(int64_t(mag)) : CimValue::uint(mag);
    }
    switch (t) {
        case CimType::Real32:
        case CimType::Real64:
            switch (v.kind()) {
                case K::Real: return v;
                case K::SInt: return CimValue::real(double(v.asSInt()));
                case K::UInt: return CimValue::real(double(v.asUInt()));
                default: mismatch();
            }
        case CimType::Boolean:
            if (v.kind() == K::Bool) return v;
            mismatch();
        case CimType::String:
        case CimType::DateTime:
        case CimType::Reference:
            if (v.kind() == K::String) return v;
            mismatch();
        case CimType::Object:
            if (v.kind() == K::Object) return v;
            mismatch();
        default: mismatch();
    }
}

void appendEscaped(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    out += '"';
}

}  // namespace

std::string_view cimTypeName(CimType t) {
    for (const auto& n : kTypeNames)
        if (n.type == t) return n.name;
    return "unknown";
}

std::optional<CimType> parseCimType(std::string_view name) {
    for (const auto& n : kTypeNames)
        if (iequals(n.name, name)) return n.type;
    return std::nullopt;
}

bool isSignedType(CimType t) {
    return t == CimType::SInt8 || t == CimType::SInt16 || t == CimType::SInt32 ||
           t == CimType::SInt64;
}

bool isUnsignedType(CimType t) {
    return t == CimType::UInt8 || t == CimType::UInt16 || t == CimType::UInt32 ||
           t == CimType::UInt64 || t == CimType::Char16;
}

bool isIntegerType(CimType t) { return isSignedType(t) || isUnsignedType(t); }
bool isRealType(CimType t) { return t == CimType::Real32 || t == CimType::Real64; }
bool isStringLikeType(CimType t) {
    return t == CimType::String || t == CimType::DateTime || t == CimType::Reference;
}

bool CimValue::operator==(const CimValue& o) const {
    if (v_.index() != o.v_.index()) return false;
    if (kind() == Kind::Array) return asArray() == o.asArray();
    return v_ == o.v_;
}

CimValue coerceTo(const CimValue& v, const CimTypeDecl& type) {
    if (v.isNull()) return v;
    if (type.isArray) {
        if (v.kind() != CimValue::Kind::Array) {
            // A single value where an array is declared becomes a one-element array.
            return CimValue::array({coerceScalar(v, type.type)});
        }
        CimValue::Array out;
        out.reserve(v.asArray().size());
        for (const auto& e : v.asArray()) out.push_back(coerceScalar(e, type.type));
        return CimValue::array(std::move(out));
    }
    if (v.kind() == CimValue::Kind::Array) fail(hr::TypeMismatch);
    return coerceScalar(v, type.type);
}

std::string mofLiteral(const CimValue& v, CimType type) {
    using K = CimValue::Kind;
    std::string out;
    switch (v.kind()) {
        case K::Null: return "NULL";
        case K::Bool: return v.asBool() ? "TRUE" : "FALSE";
        case K::SInt: return std::to_string(v.asSInt());
        case K::UInt:
            if (type == CimType::Char16 && v.asUInt() >= 0x20 && v.asUInt() < 0x7F)
                return std::string("'") + char(v.asUInt()) + "'";
            return std::to_string(v.asUInt());
        case K::Real: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", v.asReal());
            out = buf;
            if (out.find_first_of(".eEn") == std::string::npos) out += ".0";
            return out;
        }
        case K::String: appendEscaped(out, v.asString()); return out;
        case K::Object: return "instance of " + (v.asObject() ? v.asObject()->cls().name : "?");
        case K::Array: {
            out = "{";
            bool first = true;
            for (const auto& e : v.asArray()) {
                if (!first) out += ", ";
                first = false;
                out += mofLiteral(e, type);
            }
            out += "}";
            return out;
        }
    }
    return out;
}

}  // namespace wbem
