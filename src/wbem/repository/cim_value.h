// CIM types and values as the repository holds them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace wbem {

class Instance;

// Numbering follows WMI's CIMType enumeration (wbemCimtype*), which the
// scripting API reports for properties.
enum class CimType : uint16_t {
    SInt16 = 2,
    SInt32 = 3,
    Real32 = 4,
    Real64 = 5,
    String = 8,
    Boolean = 11,
    Object = 13,
    SInt8 = 16,
    UInt8 = 17,
    UInt16 = 18,
    UInt32 = 19,
    SInt64 = 20,
    UInt64 = 21,
    DateTime = 101,
    Reference = 102,
    Char16 = 103,
};

// "sint32", "datetime", ... as MOF spells them.
std::string_view cimTypeName(CimType t);
// Accepts MOF's type keywords, ignoring case; nullopt for anything else.
std::optional<CimType> parseCimType(std::string_view name);

bool isSignedType(CimType t);    // sint8..sint64
bool isUnsignedType(CimType t);  // uint8..uint64, char16
bool isIntegerType(CimType t);   // both of the above
bool isRealType(CimType t);
bool isStringLikeType(CimType t);  // string, datetime, reference

struct CimTypeDecl {
    CimType type = CimType::String;
    bool isArray = false;
    int32_t arraySize = -1;  // fixed size of "name[8]"; -1 when not given
    std::string refClass;    // class of a reference, or of an embedded object when known
};

class CimValue {
public:
    using Array = std::vector<CimValue>;
    enum class Kind : uint8_t { Null, Bool, SInt, UInt, Real, String, Object, Array };

    CimValue() = default;  // null
    static CimValue boolean(bool b) { return CimValue(b); }
    static CimValue sint(int64_t v) { return CimValue(v); }
    static CimValue uint(uint64_t v) { return CimValue(v); }
    static CimValue real(double v) { return CimValue(v); }
    static CimValue string(std::string s) { return CimValue(std::move(s)); }
    static CimValue object(std::shared_ptr<const Instance> o) { return CimValue(std::move(o)); }
    static CimValue array(Array a) { return CimValue(std::make_shared<const Array>(std::move(a))); }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return v_.index() == 0; }
    bool asBool() const { return std::get<bool>(v_); }
    int64_t asSInt() const { return std::get<int64_t>(v_); }
    uint64_t asUInt() const { return std::get<uint64_t>(v_); }
    double asReal() const { return std::get<double>(v_); }
    const std::string& asString() const { return std::get<std::string>(v_); }
    const std::shared_ptr<const Instance>& asObject() const {
        return std::get<std::shared_ptr<const Instance>>(v_);
    }
    const Array& asArray() const { return *std::get<std::shared_ptr<const Array>>(v_); }

    // Plain comparison of payloads (arrays element by element, objects by identity).
    bool operator==(const CimValue& o) const;

private:
    template <class T>
    explicit CimValue(T v) : v_(std::move(v)) {}

    std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string,
                 std::shared_ptr<const Instance>, std::shared_ptr<const Array>>
        v_;
};

// The value converted to the payload kind its declared type uses: signed types
// hold SInt, unsigned and char16 UInt, reals Real, string/datetime/reference
// String, object Object, arrays an Array of those. Integers are range-checked.
// Throws WbemError(TypeMismatch) when the value cannot be converted. Null stays null.
CimValue coerceTo(const CimValue& v, const CimTypeDecl& type);

// MOF literal form of a value: 42, "text" (escaped), TRUE, {1, 2}, NULL.
std::string mofLiteral(const CimValue& v, CimType type);

}  // namespace wbem
