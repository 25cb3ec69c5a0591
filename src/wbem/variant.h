// Values as the scripting API hands them out: a type tag and a payload, with
// arrays of any number of dimensions and lower bounds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace wbem {

class ISWbemObject;

enum class VarType : uint8_t {
    Empty,
    Null,
    Int16,
    Int32,
    UInt8,
    Real32,
    Real64,
    Bool,
    Date,    // day count since 1899-12-30, fraction = time of day
    String,  // Unicode, as UTF-8
    Object,  // embedded object
};

struct ArrayBound {
    int32_t lower = 0;
    uint32_t count = 0;
};

class Variant;

struct SafeArray {
    VarType elementType = VarType::Empty;
    std::vector<ArrayBound> bounds;  // one per dimension, first dimension first
    std::vector<Variant> elements;   // first dimension varies fastest
};

class Variant {
public:
    Variant() = default;  // empty
    static Variant null();
    static Variant int16(int16_t v);
    static Variant int32(int32_t v);
    static Variant uint8(uint8_t v);
    static Variant real32(float v);
    static Variant real64(double v);
    static Variant boolean(bool v);
    static Variant date(double oleDate);
    static Variant string(std::string utf8);
    static Variant object(std::shared_ptr<ISWbemObject> obj);
    static Variant array(SafeArray arr);

    VarType type() const { return type_; }  // the element type for arrays
    bool isArray() const { return array_ != nullptr; }
    bool isEmpty() const { return type_ == VarType::Empty && !array_; }
    bool isNull() const { return type_ == VarType::Null && !array_; }

    int32_t asInt() const;  // Int16, Int32, UInt8, Bool (-1/0)
    double asReal() const;  // Real32, Real64, Date and the integers
    bool asBool() const;
    const std::string& asString() const;
    const std::shared_ptr<ISWbemObject>& asObject() const;
    const SafeArray& asArray() const { return *array_; }

private:
    VarType type_ = VarType::Empty;
    std::variant<std::monostate, int32_t, double, bool, std::string,
                 std::shared_ptr<ISWbemObject>>
        data_;
    std::shared_ptr<const SafeArray> array_;
};

}  // namespace wbem
