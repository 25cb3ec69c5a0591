// Class definitions as the repository holds them: flattened, so that a class
// carries its inherited properties and methods, with an index by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../text.h"
#include "cim_value.h"

namespace wbem {

// Qualifier flavors as bits; the defaults (EnableOverride, ToSubclass) are 0.
namespace flavor {
inline constexpr uint8_t DisableOverride = 1;
inline constexpr uint8_t Restricted = 2;  // does not propagate to subclasses
inline constexpr uint8_t ToInstance = 4;
inline constexpr uint8_t Translatable = 8;
inline constexpr uint8_t Amended = 16;
}  // namespace flavor

struct Qualifier {
    std::string name;
    CimType type = CimType::Boolean;
    bool isArray = false;
    CimValue value;
    uint8_t flavors = 0;
    bool propagated = false;  // inherited from a superclass, not declared here
};

// Scope bits of a qualifier declaration.
namespace scope {
inline constexpr uint32_t Class = 1, Association = 2, Indication = 4, Property = 8, Reference = 16,
                          Method = 32, Parameter = 64, Qualifier = 128, Any = 0xFFFF;
}

struct QualifierDecl {
    std::string name;
    CimTypeDecl type;
    CimValue defaultValue;
    uint32_t scopes = 0;
    uint8_t flavors = 0;
};

const Qualifier* findQualifier(const std::vector<Qualifier>& list, std::string_view name);
// True when the list holds the qualifier with a true value (or with no value).
bool hasTrueQualifier(const std::vector<Qualifier>& list, std::string_view name);

struct PropertyDef {
    std::string name;
    CimTypeDecl type;
    CimValue defaultValue;
    std::vector<Qualifier> qualifiers;
    std::string classOrigin;  // class that first declared it
    bool isKey = false;       // Key or CIM_Key qualifier
};

struct ParameterDef {
    std::string name;
    CimTypeDecl type;
    std::vector<Qualifier> qualifiers;
    bool in = false;
    bool out = false;
};

struct MethodDef {
    std::string name;
    CimType returnType = CimType::UInt32;
    std::vector<ParameterDef> parameters;  // declaration order
    std::vector<Qualifier> qualifiers;
    std::string classOrigin;
};

class ClassDef {
  public:
    std::string name;
    std::string superclass;  // empty for a top-level class
    std::vector<Qualifier> qualifiers;
    std::vector<PropertyDef> properties;  // slot order: inherited first, then own
    std::vector<MethodDef> methods;

    // Set by finalize():
    std::vector<std::string> derivation;  // superclasses, nearest first
    std::vector<int> alphabetical;        // property slots by name, ignoring case
    std::vector<int> keys;                // key slots by name, ignoring case
    bool association = false;
    bool indication = false;
    bool isAbstract = false;
    bool singleton = false;

    // The class as declared, before inheritance was applied; kept so that
    // subclasses can be derived again when this class is replaced.
    std::shared_ptr<const ClassDef> declared;

    int findProperty(std::string_view name) const;  // slot, or -1; ignores case
    const PropertyDef* property(std::string_view name) const;
    const MethodDef* findMethod(std::string_view name) const;
    const Qualifier* qualifier(std::string_view n) const { return findQualifier(qualifiers, n); }
    const std::string& dynasty() const { return derivation.empty() ? name : derivation.back(); }
    bool derivesFrom(std::string_view className) const;  // itself included

    // Builds the indexes and flags above from the members.
    void finalize();

  private:
    std::unordered_map<std::string, int, IHash, IEqual> index_;
};

// The class of a method's out-parameters object (__PARAMETERS): its
// out-parameters in declaration order, then ReturnValue of its return type,
// each typed as declared and originating in __PARAMETERS.
std::shared_ptr<const ClassDef> outParametersClass(const MethodDef& method);

// The class `declared` with everything it inherits from `parent` (null for a
// top-level class): properties and methods of the parent first, overridden in
// place by the declaration's own; qualifiers that propagate carried over.
std::shared_ptr<const ClassDef> deriveClass(const ClassDef* parent,
                                            std::shared_ptr<const ClassDef> declared);

}  // namespace wbem
