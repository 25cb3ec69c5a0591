// Declarations of a MOF file as parsed, before any name is looked up.
// Names are views into the source texts, which the SourceSet keeps alive.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "../repository/cim_value.h"

namespace wbem::mof {

// A place in the sources: the file's index in the SourceSet and a byte offset.
struct Pos {
    uint32_t file = 0;
    uint32_t offset = 0;
};

struct InstanceAst;

struct ValueAst {
    enum class Kind : uint8_t {
        Null,
        Bool,
        Integer,
        Real,
        String,
        Char,
        Alias,       // $name, a reference to an instance declared with "as $name"
        Instance,    // embedded object: instance of X { ... }
        Array,       // { v, v, ... }
        Identifier,  // bare word, only in pragma arguments (NOFAIL, ...)
    };
    Kind kind = Kind::Null;
    bool boolean = false;
    bool negative = false;  // Integer: the magnitude is negated
    Pos pos;
    uint32_t end = 0;        // offset just past the value's text, for messages
    uint64_t magnitude = 0;  // Integer magnitude; Char code point
    double real = 0;
    std::string text;  // String: decoded UTF-8; Alias, Identifier: the name
    std::vector<ValueAst> elements;
    std::unique_ptr<InstanceAst> instance;
};

// Flavors written after a qualifier ("Description("x") : ToSubclass Amended")
// or in a qualifier declaration, as bits to set and bits to clear (see flavor::).
struct FlavorChange {
    uint8_t set = 0;
    uint8_t clear = 0;
};

struct QualifierAst {
    std::string_view name;
    Pos pos;
    std::optional<ValueAst> value;  // absent in "[Key]"
    FlavorChange flavors;
};
using QualifierList = std::vector<QualifierAst>;

struct TypeAst {
    CimType type = CimType::String;
    std::string_view refClass;  // class of a reference or embedded object
    bool isArray = false;
    int32_t arraySize = -1;
    Pos pos;
};

struct PropertyAst {
    QualifierList qualifiers;
    TypeAst type;
    std::string_view name;
    Pos namePos;
    std::optional<ValueAst> defaultValue;
};

struct ParameterAst {
    QualifierList qualifiers;
    TypeAst type;
    std::string_view name;
    Pos namePos;
};

struct MethodAst {
    QualifierList qualifiers;
    TypeAst returnType;
    std::string_view name;
    Pos namePos;
    std::vector<ParameterAst> parameters;
};

struct ClassAst {
    QualifierList qualifiers;
    std::string_view name;
    Pos namePos;
    std::string_view superclass;  // empty for a top-level class
    Pos superPos;
    std::vector<PropertyAst> properties;
    std::vector<MethodAst> methods;
};

struct AssignmentAst {
    std::string_view name;
    Pos namePos;
    ValueAst value;
};

struct InstanceAst {
    std::string_view className;
    Pos classPos;
    std::string_view alias;  // without '$'; empty when none
    Pos aliasPos;
    std::vector<AssignmentAst> assignments;
};

struct QualifierDeclAst {
    std::string_view name;
    Pos namePos;
    TypeAst type;
    std::optional<ValueAst> defaultValue;
    uint32_t scopes = 0;
    uint8_t flavors = 0;
};

// Pragmas other than include, which the parser resolves in place.
struct PragmaAst {
    std::string_view name;
    Pos pos;
    std::vector<ValueAst> args;
};

using Declaration = std::variant<ClassAst, InstanceAst, QualifierDeclAst, PragmaAst>;

}  // namespace wbem::mof
