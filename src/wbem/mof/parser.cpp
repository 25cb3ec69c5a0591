#include "parser.h"

#include <algorithm>

#include "../text.h"

namespace wbem::mof {

std::vector<Declaration> parseSources(SourceSet& sources, uint32_t root) {
    std::vector<Declaration> out;
    sources.enterRoot(root);
    Parser(sources, root, out).parse();
    sources.leave();
    return out;
}

Parser::Parser(SourceSet& sources, uint32_t file, std::vector<Declaration>& out)
    : sources_(sources), lex_(sources, file), out_(out) {}

void Parser::parse() {
    advance();
    while (cur_.kind != Tok::End) parseStatement();
}

bool Parser::atKeyword(std::string_view keyword) const {
    return cur_.kind == Tok::Identifier && iequals(cur_.text, keyword);
}

bool Parser::accept(Tok kind) {
    if (cur_.kind != kind) return false;
    advance();
    return true;
}

void Parser::failExpected(const std::string& what, const char* context) const {
    sources_.fail(here(), "expected " + what + context + ", found " + describeToken(cur_));
}

void Parser::expect(Tok kind, const char* what, const char* context) {
    if (cur_.kind != kind) failExpected(what, context);
    advance();
}

std::string_view Parser::expectIdentifier(const char* what, const char* context) {
    if (cur_.kind != Tok::Identifier) failExpected(what, context);
    std::string_view name = cur_.text;
    advance();
    return name;
}

void Parser::parseStatement() {
    if (cur_.kind == Tok::Hash) {
        parsePragma();
        return;
    }
    QualifierList qualifiers = parseQualifierList();
    if (atKeyword("class")) {
        parseClass(std::move(qualifiers), {});
    } else if (atKeyword("association")) {
        parseClass(std::move(qualifiers), "Association");
    } else if (atKeyword("indication")) {
        parseClass(std::move(qualifiers), "Indication");
    } else if (atKeyword("instance")) {
        // Qualifiers on an instance carry nothing the repository keeps.
        out_.emplace_back(parseInstanceBody(false));
        expect(Tok::Semicolon, "';'", " after the instance declaration");
    } else if (atKeyword("qualifier") && qualifiers.empty()) {
        parseQualifierDecl();
    } else {
        failExpected(qualifiers.empty() ? "'class', 'instance', 'qualifier' or '#pragma'"
                                        : "'class' or 'instance' after the qualifier list",
                     "");
    }
}

void Parser::parsePragma() {
    const Pos at = here();
    advance();  // '#'
    if (!atKeyword("pragma")) failExpected("'pragma'", " after '#'");
    advance();
    PragmaAst pragma;
    pragma.pos = at;
    pragma.name = expectIdentifier("a pragma name", " after '#pragma'");
    if (accept(Tok::LParen)) {
        if (cur_.kind != Tok::RParen) {
            do {
                if (cur_.kind == Tok::Identifier && !atKeyword("true") && !atKeyword("false") &&
                    !atKeyword("null")) {
                    ValueAst word;
                    word.kind = ValueAst::Kind::Identifier;
                    word.pos = here();
                    word.end = cur_.end;
                    word.text = std::string(cur_.text);
                    pragma.args.push_back(std::move(word));
                    advance();
                } else {
                    pragma.args.push_back(parseScalar(false));
                }
            } while (accept(Tok::Comma));
        }
        expect(Tok::RParen, "')'", " after the pragma's arguments");
    }
    if (iequals(pragma.name, "include")) {
        if (pragma.args.size() != 1 || pragma.args[0].kind != ValueAst::Kind::String) {
            sources_.fail(at, "expected a file name as a string in #pragma include");
        }
        uint32_t file = sources_.enterInclude(pragma.args[0].text, at);
        Parser(sources_, file, out_).parse();
        sources_.leave();
        return;
    }
    out_.emplace_back(std::move(pragma));
}

void Parser::parseClass(QualifierList qualifiers, std::string_view implied) {
    const char* keyword = implied.empty() ? " after 'class'" : " after the class keyword";
    advance();
    ClassAst cls;
    cls.qualifiers = std::move(qualifiers);
    if (!implied.empty() &&
        std::none_of(cls.qualifiers.begin(), cls.qualifiers.end(),
                     [&](const QualifierAst& q) { return iequals(q.name, implied); })) {
        QualifierAst q;
        q.name = implied;
        q.pos = here();
        cls.qualifiers.push_back(std::move(q));
    }
    cls.namePos = here();
    cls.name = expectIdentifier("a class name", keyword);
    if (accept(Tok::Colon)) {
        cls.superPos = here();
        cls.superclass = expectIdentifier("a superclass name", " after ':'");
    }
    if (cur_.kind != Tok::LBrace) {
        failExpected(cls.superclass.empty() ? "':' or '{'" : "'{'", " after the class name");
    }
    advance();
    while (cur_.kind != Tok::RBrace) {
        if (cur_.kind == Tok::End) failExpected("'}'", " to close the class");
        parseFeature(cls);
    }
    advance();
    expect(Tok::Semicolon, "';'", " after the class declaration");
    out_.emplace_back(std::move(cls));
}

void Parser::parseFeature(ClassAst& cls) {
    QualifierList qualifiers = parseQualifierList();
    TypeAst type = parseType(" or '}'");
    Pos namePos = here();
    std::string_view name = expectIdentifier("a property or method name", " after the type");
    if (accept(Tok::LParen)) {
        MethodAst method;
        method.qualifiers = std::move(qualifiers);
        method.returnType = type;
        method.name = name;
        method.namePos = namePos;
        parseParameters(method);
        expect(Tok::Semicolon, "';'", " after method declaration");
        cls.methods.push_back(std::move(method));
        return;
    }
    PropertyAst prop;
    prop.qualifiers = std::move(qualifiers);
    prop.type = type;
    prop.name = name;
    prop.namePos = namePos;
    parseArraySuffix(prop.type);
    if (accept(Tok::Equals)) prop.defaultValue = parseValue(true);
    expect(Tok::Semicolon, "';'", " after property declaration");
    cls.properties.push_back(std::move(prop));
}

void Parser::parseParameters(MethodAst& method) {
    if (accept(Tok::RParen)) return;
    while (true) {
        ParameterAst param;
        param.qualifiers = parseQualifierList();
        param.type = parseType("");
        param.namePos = here();
        param.name = expectIdentifier("a parameter name", " after the type");
        parseArraySuffix(param.type);
        if (accept(Tok::Equals)) {
            // A default value of a parameter is allowed by the grammar but
            // has no place in a method's signature; it is read and dropped.
            parseValue(false);
        }
        method.parameters.push_back(std::move(param));
        if (accept(Tok::RParen)) return;
        if (cur_.kind != Tok::Comma) failExpected("',' or ')'", " after parameter");
        advance();
    }
}

InstanceAst Parser::parseInstanceBody(bool embedded) {
    advance();  // "instance"
    if (!atKeyword("of")) failExpected("'of'", " after 'instance'");
    advance();
    InstanceAst inst;
    inst.classPos = here();
    inst.className = expectIdentifier("a class name", " after 'instance of'");
    if (atKeyword("as")) {
        advance();
        inst.aliasPos = here();
        if (cur_.kind != Tok::Alias) failExpected("an alias ($name)", " after 'as'");
        if (embedded) sources_.fail(inst.aliasPos, "an embedded object cannot have an alias");
        inst.alias = cur_.text;
        advance();
    }
    expect(Tok::LBrace, "'{'", " to begin the instance's property values");
    while (!accept(Tok::RBrace)) {
        if (cur_.kind == Tok::End) failExpected("'}'", " to close the instance");
        parseQualifierList();  // qualifiers of instance properties are not kept
        AssignmentAst a;
        a.namePos = here();
        a.name = expectIdentifier("a property name", " in the instance");
        expect(Tok::Equals, "'='", " after the property name");
        a.value = parseValue(true);
        expect(Tok::Semicolon, "';'", " after the property value");
        inst.assignments.push_back(std::move(a));
    }
    return inst;
}

void Parser::parseQualifierDecl() {
    advance();  // "qualifier"
    QualifierDeclAst decl;
    decl.namePos = here();
    decl.name = expectIdentifier("a qualifier name", " after 'qualifier'");
    expect(Tok::Colon, "':'", " after the qualifier name");
    if (cur_.kind != Tok::Identifier || !typeKeyword(cur_.text)) {
        failExpected("a type", " of the qualifier");
    }
    decl.type.pos = here();
    decl.type.type = *typeKeyword(cur_.text);
    advance();
    parseArraySuffix(decl.type);
    if (accept(Tok::Equals)) decl.defaultValue = parseValue(false);
    bool haveScope = false;
    bool haveFlavor = false;
    while (accept(Tok::Comma)) {
        bool isScope = atKeyword("scope");
        if ((!isScope && !atKeyword("flavor")) || (isScope ? haveScope : haveFlavor)) {
            failExpected(haveScope && haveFlavor ? "';'"
                         : haveScope             ? "'Flavor'"
                         : haveFlavor            ? "'Scope'"
                                                 : "'Scope' or 'Flavor'",
                         " in the qualifier declaration");
        }
        (isScope ? haveScope : haveFlavor) = true;
        advance();
        expect(Tok::LParen, "'('", isScope ? " after 'Scope'" : " after 'Flavor'");
        FlavorChange flavors;
        do {
            if (cur_.kind != Tok::Identifier) {
                failExpected(isScope ? "a scope" : "a flavor",
                             isScope ? " in Scope" : " in Flavor");
            }
            if (isScope) {
                uint32_t bit = scopeBit(cur_.text);
                if (!bit)
                    failExpected(
                        "a scope (class, association, indication, property, "
                        "reference, method, parameter, qualifier or any)",
                        "");
                decl.scopes |= bit;
            } else if (!applyFlavorKeyword(cur_.text, flavors)) {
                failExpected(
                    "a flavor (EnableOverride, DisableOverride, ToSubclass, Restricted, "
                    "ToInstance, Translatable or Amended)",
                    "");
            }
            advance();
        } while (accept(Tok::Comma));
        expect(Tok::RParen, "')'", isScope ? " after the scopes" : " after the flavors");
        decl.flavors = static_cast<uint8_t>((decl.flavors | flavors.set) & ~flavors.clear);
    }
    if (!haveScope) decl.scopes = scope::Any;
    expect(Tok::Semicolon, "';'", " after the qualifier declaration");
    out_.emplace_back(std::move(decl));
}

}  // namespace wbem::mof
