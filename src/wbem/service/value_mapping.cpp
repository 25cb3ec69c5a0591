// CIM values to scripting variants, mapped as WMI's scripting API maps them:
// 64-bit integers, datetimes and references arrive as strings, uint16 and
// uint32 as 32-bit integers, char16 as a 16-bit integer, objects as objects.
#include <limits>

#include "objects.h"

namespace wbem::service {

namespace {

VarType tagOf(CimType t, const CimValue* sample) {
    switch (t) {
        case CimType::SInt8:
        case CimType::SInt16:
        case CimType::Char16:
            return VarType::Int16;
        case CimType::UInt8:
            return VarType::UInt8;
        case CimType::UInt16:
        case CimType::SInt32:
            return VarType::Int32;
        case CimType::UInt32:
            // Values beyond the signed range would turn negative as a 32-bit
            // integer; they travel as reals so that their number stays right.
            if (sample && sample->kind() == CimValue::Kind::UInt &&
                sample->asUInt() > uint64_t(std::numeric_limits<int32_t>::max()))
                return VarType::Real64;
            return VarType::Int32;
        case CimType::Real32:
            return VarType::Real32;
        case CimType::Real64:
            return VarType::Real64;
        case CimType::Boolean:
            return VarType::Bool;
        case CimType::Object:
            return VarType::Object;
        default:
            return VarType::String;
    }
}

int64_t signedOf(const CimValue& v) {
    switch (v.kind()) {
        case CimValue::Kind::SInt:
            return v.asSInt();
        case CimValue::Kind::UInt:
            return int64_t(v.asUInt());
        case CimValue::Kind::Real:
            return int64_t(v.asReal());
        case CimValue::Kind::Bool:
            return v.asBool() ? 1 : 0;
        default:
            return 0;
    }
}

std::string textOf(const CimValue& v) {
    switch (v.kind()) {
        case CimValue::Kind::String:
            return v.asString();
        case CimValue::Kind::SInt:
            return std::to_string(v.asSInt());
        case CimValue::Kind::UInt:
            return std::to_string(v.asUInt());
        default:
            return mofLiteral(v, CimType::String);
    }
}

Variant scalar(const CimValue& v, CimType t, VarType tag, const ObjectView& owner) {
    if (v.isNull()) return Variant::null();
    switch (tag) {
        case VarType::Int16:
            return Variant::int16(int16_t(uint16_t(signedOf(v))));
        case VarType::UInt8:
            return Variant::uint8(uint8_t(signedOf(v)));
        case VarType::Int32:
            return Variant::int32(int32_t(uint32_t(signedOf(v))));
        case VarType::Real32:
            return Variant::real32(
                float(v.kind() == CimValue::Kind::Real ? v.asReal() : double(signedOf(v))));
        case VarType::Real64:
            if (v.kind() == CimValue::Kind::UInt) return Variant::real64(double(v.asUInt()));
            return Variant::real64(v.kind() == CimValue::Kind::Real ? v.asReal()
                                                                    : double(signedOf(v)));
        case VarType::Bool:
            return Variant::boolean(v.kind() == CimValue::Kind::Bool && v.asBool());
        case VarType::Object: {
            if (v.kind() != CimValue::Kind::Object || !v.asObject()) return Variant::null();
            ObjectView view;
            view.cls = v.asObject()->classPtr();
            view.inst = v.asObject();
            view.ctx = owner.ctx;
            view.repo = owner.repo;
            view.owner = owner.owner;
            return Variant::object(makeObject(std::move(view)));
        }
        default:
            (void)t;
            return Variant::string(textOf(v));
    }
}

}  // namespace

Variant toVariant(const CimValue& value, const CimTypeDecl& type, const ObjectView& owner) {
    if (value.isNull()) return Variant::null();
    if (value.kind() != CimValue::Kind::Array) {
        return scalar(value, type.type, tagOf(type.type, &value), owner);
    }
    const auto& items = value.asArray();
    VarType tag = tagOf(type.type, nullptr);
    if (type.type == CimType::UInt32)
        for (const auto& e : items)
            if (tagOf(type.type, &e) == VarType::Real64) tag = VarType::Real64;
    SafeArray arr;
    arr.elementType = tag;
    arr.bounds.push_back({0, uint32_t(items.size())});
    arr.elements.reserve(items.size());
    for (const auto& e : items) arr.elements.push_back(scalar(e, type.type, tag, owner));
    return Variant::array(std::move(arr));
}

}  // namespace wbem::service
