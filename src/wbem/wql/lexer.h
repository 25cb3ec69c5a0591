// WQL tokens. Every token keeps its byte offset into the query so that an
// error can point at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wbem::wql {

enum class TokenKind : uint8_t {
    End,
    Identifier,  // names and keywords alike; the parser tells them apart
    String,      // value holds the text with escapes resolved
    Integer,     // integer holds the magnitude; a sign is a separate token
    Real,
    Path,  // {...}: value holds the text between the braces
    Star,
    Comma,
    LParen,
    RParen,
    Dot,
    Minus,
    Plus,
    Equal,
    NotEqual,  // <> or !=
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t offset = 0;
    std::string_view text;  // the token as written (a view into the query)
    std::string value;
    uint64_t integer = 0;
    double real = 0;
};

// The tokens of the query, ending with an End token. Throws QueryError
// (Invalid query) for a character WQL does not use, an unterminated string or
// path, a backslash escape other than \\ \" \', or a malformed number.
std::vector<Token> tokenize(std::string_view query);

}  // namespace wbem::wql
