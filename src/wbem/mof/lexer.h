// Tokens of MOF text, read on demand from a view of the source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "source_set.h"

namespace wbem::mof {

enum class Tok : uint8_t {
    End,
    Identifier,  // names and keywords alike; keywords ignore case
    Alias,       // $name (text without '$')
    Integer,     // magnitude and sign
    Real,
    String,  // text between the quotes, escapes not yet resolved
    Char,    // code point of a char16 literal
    LBrace,
    RBrace,
    LBracket,
    RBracket,
    LParen,
    RParen,
    Semicolon,
    Comma,
    Colon,
    Equals,
    Hash,
};

struct Token {
    Tok kind = Tok::End;
    bool negative = false;
    uint32_t offset = 0;     // of the first character
    uint32_t end = 0;        // just past the last character
    std::string_view text;   // Identifier, Alias: the name; String: the body
    uint64_t magnitude = 0;  // Integer; Char code point
    double real = 0;
};

class Lexer {
  public:
    Lexer(const SourceSet& sources, uint32_t file);

    Token next();
    uint32_t file() const { return file_; }

  private:
    [[noreturn]] void fail(size_t at, const std::string& message) const;
    void skipBlanksAndComments();
    Token number(size_t start);
    Token stringLiteral(size_t start);
    Token charLiteral(size_t start);

    const SourceSet& sources_;
    uint32_t file_;
    std::string_view text_;
    size_t pos_ = 0;
};

// Text of a string literal's body with escapes resolved, appended to `out`.
// Escape errors fail through `sources` at the backslash; `body` must lie in
// the file's text at `bodyPos`.
void appendUnescaped(const SourceSet& sources, Pos bodyPos, std::string_view body,
                     std::string& out);

// A token as an error message names it: "'}'", "identifier 'Foo'", "end of file".
std::string describeToken(const Token& t);

}  // namespace wbem::mof
