// Recursive-descent parser from tokens to declarations. "#pragma include" is
// resolved while parsing: the included file's declarations go in its place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ast.h"
#include "lexer.h"
#include "source_set.h"

namespace wbem::mof {

// Parses the file `root` of `sources` and everything it includes.
std::vector<Declaration> parseSources(SourceSet& sources, uint32_t root);

class Parser {
  public:
    Parser(SourceSet& sources, uint32_t file, std::vector<Declaration>& out);
    void parse();

  private:
    // Statements (parser.cpp)
    void parseStatement();
    void parsePragma();
    void parseClass(QualifierList qualifiers, std::string_view implied);
    void parseFeature(ClassAst& cls);
    void parseParameters(MethodAst& method);
    InstanceAst parseInstanceBody(bool embedded);
    void parseQualifierDecl();

    // Values, qualifiers and types (parser_values.cpp)
    ValueAst parseValue(bool allowObjects);
    ValueAst parseScalar(bool allowObjects);
    ValueAst parseArray(bool allowObjects);
    QualifierList parseQualifierList();
    QualifierAst parseQualifier();
    void parseFlavorsAfterColon(FlavorChange& flavors);
    TypeAst parseType(const char* context);
    void parseArraySuffix(TypeAst& type);

    // Tokens
    void advance() {
        prevEnd_ = cur_.end;
        cur_ = lex_.next();
    }
    Pos here() const { return Pos{lex_.file(), cur_.offset}; }
    bool atKeyword(std::string_view keyword) const;
    bool accept(Tok kind);
    void expect(Tok kind, const char* what, const char* context);
    std::string_view expectIdentifier(const char* what, const char* context);
    [[noreturn]] void failExpected(const std::string& what, const char* context) const;

    SourceSet& sources_;
    Lexer lex_;
    Token cur_;
    uint32_t prevEnd_ = 0;  // end of the token before cur_
    std::vector<Declaration>& out_;
    int nesting_ = 0;  // embedded objects within one another
};

// Flavor keywords (ToSubclass, Amended, ...); false for any other word.
bool applyFlavorKeyword(std::string_view word, FlavorChange& change);
// Scope keywords (class, property, any, ...) as scope:: bits; 0 for any other word.
uint32_t scopeBit(std::string_view word);
// MOF's type keywords (sint8 ... object); nullopt for any other word.
std::optional<CimType> typeKeyword(std::string_view word);

}  // namespace wbem::mof
