// Values, qualifier lists and types.
#include <limits>

#include "../text.h"
#include "parser.h"

namespace wbem::mof {

namespace {

// Deeper nesting of embedded objects than any real schema uses; bounds the
// recursion on hostile input.
constexpr int kMaxNesting = 32;

struct TypeName {
    std::string_view word;
    CimType type;
};
constexpr TypeName kTypeNames[] = {
    {"string", CimType::String},   {"uint16", CimType::UInt16}, {"uint32", CimType::UInt32},
    {"boolean", CimType::Boolean}, {"uint64", CimType::UInt64}, {"datetime", CimType::DateTime},
    {"uint8", CimType::UInt8},     {"sint32", CimType::SInt32}, {"sint16", CimType::SInt16},
    {"sint64", CimType::SInt64},   {"sint8", CimType::SInt8},   {"real32", CimType::Real32},
    {"real64", CimType::Real64},   {"char16", CimType::Char16}, {"object", CimType::Object},
};

}  // namespace

std::optional<CimType> typeKeyword(std::string_view word) {
    for (const TypeName& t : kTypeNames) {
        if (iequals(word, t.word)) return t.type;
    }
    return std::nullopt;
}

bool applyFlavorKeyword(std::string_view w, FlavorChange& c) {
    auto set = [&](uint8_t bit) {
        c.set |= bit;
        c.clear &= static_cast<uint8_t>(~bit);
    };
    auto clear = [&](uint8_t bit) {
        c.clear |= bit;
        c.set &= static_cast<uint8_t>(~bit);
    };
    if (iequals(w, "EnableOverride"))
        clear(flavor::DisableOverride);
    else if (iequals(w, "DisableOverride"))
        set(flavor::DisableOverride);
    else if (iequals(w, "ToSubclass"))
        clear(flavor::Restricted);
    else if (iequals(w, "Restricted") || iequals(w, "NotToSubclass"))
        set(flavor::Restricted);
    else if (iequals(w, "ToInstance"))
        set(flavor::ToInstance);
    else if (iequals(w, "NotToInstance"))
        clear(flavor::ToInstance);
    else if (iequals(w, "Translatable"))
        set(flavor::Translatable);
    else if (iequals(w, "Amended"))
        set(flavor::Amended);
    else
        return false;
    return true;
}

uint32_t scopeBit(std::string_view w) {
    if (iequals(w, "class")) return scope::Class;
    if (iequals(w, "association")) return scope::Association;
    if (iequals(w, "indication")) return scope::Indication;
    if (iequals(w, "property")) return scope::Property;
    if (iequals(w, "reference")) return scope::Reference;
    if (iequals(w, "method")) return scope::Method;
    if (iequals(w, "parameter")) return scope::Parameter;
    if (iequals(w, "qualifier")) return scope::Qualifier;
    if (iequals(w, "any")) return scope::Any;
    return 0;
}

ValueAst Parser::parseValue(bool allowObjects) {
    if (cur_.kind == Tok::LBrace) return parseArray(allowObjects);
    return parseScalar(allowObjects);
}

ValueAst Parser::parseArray(bool allowObjects) {
    ValueAst v;
    v.kind = ValueAst::Kind::Array;
    v.pos = here();
    advance();  // '{'
    if (cur_.kind != Tok::RBrace) {
        do {
            if (cur_.kind == Tok::LBrace) {
                sources_.fail(here(), "arrays cannot contain arrays");
            }
            v.elements.push_back(parseScalar(allowObjects));
        } while (accept(Tok::Comma));
    }
    if (cur_.kind != Tok::RBrace) failExpected("',' or '}'", " in the array value");
    v.end = cur_.end;
    advance();
    return v;
}

ValueAst Parser::parseScalar(bool allowObjects) {
    using K = ValueAst::Kind;
    ValueAst v;
    v.pos = here();
    v.end = cur_.end;
    switch (cur_.kind) {
        case Tok::String:
            v.kind = K::String;
            // Adjacent literals are one string: "a" "b" is "ab".
            while (cur_.kind == Tok::String) {
                appendUnescaped(sources_, Pos{lex_.file(), cur_.offset + 1}, cur_.text, v.text);
                v.end = cur_.end;
                advance();
            }
            return v;
        case Tok::Integer:
            v.kind = K::Integer;
            v.magnitude = cur_.magnitude;
            v.negative = cur_.negative && cur_.magnitude != 0;
            break;
        case Tok::Real:
            v.kind = K::Real;
            v.real = cur_.real;
            break;
        case Tok::Char:
            v.kind = K::Char;
            v.magnitude = cur_.magnitude;
            break;
        case Tok::Alias:
            if (!allowObjects) failExpected("a constant value", "");
            v.kind = K::Alias;
            v.text = std::string(cur_.text);
            break;
        case Tok::Identifier:
            if (atKeyword("true") || atKeyword("false")) {
                v.kind = K::Bool;
                v.boolean = atKeyword("true");
                break;
            }
            if (atKeyword("null")) {
                v.kind = K::Null;
                break;
            }
            if (allowObjects && atKeyword("instance")) {
                if (nesting_ >= kMaxNesting) {
                    sources_.fail(v.pos, "embedded objects nested deeper than " +
                                             std::to_string(kMaxNesting) + " levels");
                }
                ++nesting_;
                v.kind = K::Instance;
                v.instance = std::make_unique<InstanceAst>(parseInstanceBody(true));
                v.end = prevEnd_;
                --nesting_;
                return v;
            }
            [[fallthrough]];
        default:
            failExpected(allowObjects ? "a value" : "a constant value", "");
    }
    advance();
    return v;
}

QualifierList Parser::parseQualifierList() {
    QualifierList list;
    if (!accept(Tok::LBracket)) return list;
    do {
        list.push_back(parseQualifier());
    } while (accept(Tok::Comma));
    if (cur_.kind != Tok::RBracket) failExpected("',' or ']'", " in the qualifier list");
    advance();
    return list;
}

QualifierAst Parser::parseQualifier() {
    QualifierAst q;
    q.pos = here();
    q.name = expectIdentifier("a qualifier name", "");
    if (accept(Tok::LParen)) {
        q.value = parseValue(false);
        expect(Tok::RParen, "')'", " after the qualifier's value");
    } else if (cur_.kind == Tok::LBrace) {
        q.value = parseArray(false);
    }
    if (accept(Tok::Colon)) parseFlavorsAfterColon(q.flavors);
    return q;
}

void Parser::parseFlavorsAfterColon(FlavorChange& flavors) {
    do {
        if (cur_.kind != Tok::Identifier || !applyFlavorKeyword(cur_.text, flavors)) {
            failExpected(
                "a flavor (EnableOverride, DisableOverride, ToSubclass, Restricted, "
                "ToInstance, Translatable or Amended)",
                " after ':'");
        }
        advance();
    } while (cur_.kind == Tok::Identifier);
}

TypeAst Parser::parseType(const char* context) {
    TypeAst type;
    type.pos = here();
    if (cur_.kind != Tok::Identifier) failExpected("a type", context);
    if (std::optional<CimType> t = typeKeyword(cur_.text)) {
        type.type = *t;
        advance();
        return type;
    }
    if (atKeyword("void")) {
        sources_.fail(type.pos, "methods without a return value (void) are not supported");
    }
    // A class name: "CIM_Foo REF" is a reference, a bare class name an
    // embedded object of that class.
    type.refClass = cur_.text;
    advance();
    if (atKeyword("ref")) {
        type.type = CimType::Reference;
        advance();
    } else {
        type.type = CimType::Object;
    }
    return type;
}

void Parser::parseArraySuffix(TypeAst& type) {
    if (!accept(Tok::LBracket)) return;
    type.isArray = true;
    if (cur_.kind == Tok::Integer) {
        if (cur_.negative || cur_.magnitude == 0 ||
            cur_.magnitude > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
            sources_.fail(here(), "array size must be a positive number");
        }
        type.arraySize = static_cast<int32_t>(cur_.magnitude);
        advance();
    }
    expect(Tok::RBracket, "']'", " after the array size");
}

}  // namespace wbem::mof
