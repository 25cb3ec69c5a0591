#include "variant.h"

#include "errors.h"

namespace wbem {

Variant Variant::null() {
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

Variant Variant::int16(int16_t x) {
    Variant v;
    v.type_ = VarType::Int16;
    v.data_ = int32_t(x);
    return v;
}

Variant Variant::int32(int32_t x) {
    Variant v;
    v.type_ = VarType::Int32;
    v.data_ = x;
    return v;
}

Variant Variant::uint8(uint8_t x) {
    Variant v;
    v.type_ = VarType::UInt8;
    v.data_ = int32_t(x);
    return v;
}

Variant Variant::real32(float x) {
    Variant v;
    v.type_ = VarType::Real32;
    v.data_ = double(x);
    return v;
}

Variant Variant::real64(double x) {
    Variant v;
    v.type_ = VarType::Real64;
    v.data_ = x;
    return v;
}

Variant Variant::boolean(bool x) {
    Variant v;
    v.type_ = VarType::Bool;
    v.data_ = x;
    return v;
}

Variant Variant::date(double oleDate) {
    Variant v;
    v.type_ = VarType::Date;
    v.data_ = oleDate;
    return v;
}

Variant Variant::string(std::string utf8) {
    Variant v;
    v.type_ = VarType::String;
    v.data_ = std::move(utf8);
    return v;
}

Variant Variant::object(std::shared_ptr<ISWbemObject> obj) {
    Variant v;
    v.type_ = VarType::Object;
    v.data_ = std::move(obj);
    return v;
}

Variant Variant::array(SafeArray arr) {
    Variant v;
    v.type_ = arr.elementType;
    v.array_ = std::make_shared<const SafeArray>(std::move(arr));
    return v;
}

int32_t Variant::asInt() const {
    if (array_) fail(hr::TypeMismatch);
    if (auto* i = std::get_if<int32_t>(&data_)) return *i;
    if (auto* b = std::get_if<bool>(&data_)) return *b ? -1 : 0;
    fail(hr::TypeMismatch);
}

double Variant::asReal() const {
    if (array_) fail(hr::TypeMismatch);
    if (auto* d = std::get_if<double>(&data_)) return *d;
    if (auto* i = std::get_if<int32_t>(&data_)) return *i;
    fail(hr::TypeMismatch);
}

bool Variant::asBool() const {
    if (auto* b = std::get_if<bool>(&data_); b && !array_) return *b;
    fail(hr::TypeMismatch);
}

const std::string& Variant::asString() const {
    if (auto* s = std::get_if<std::string>(&data_); s && !array_) return *s;
    fail(hr::TypeMismatch);
}

const std::shared_ptr<ISWbemObject>& Variant::asObject() const {
    if (auto* o = std::get_if<std::shared_ptr<ISWbemObject>>(&data_); o && !array_) return *o;
    fail(hr::TypeMismatch);
}

}  // namespace wbem
