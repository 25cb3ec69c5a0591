#include "lexer.h"

#include <charconv>
#include <cmath>

#include "query_error.h"

namespace wbem::wql {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
// Names may carry non-ASCII letters; their UTF-8 bytes are all >= 0x80.
bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }

class Lexer {
  public:
    explicit Lexer(std::string_view q) : q_(q) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        while (true) {
            while (pos_ < q_.size() && isSpace(q_[pos_])) ++pos_;
            Token t;
            t.offset = pos_;
            if (pos_ >= q_.size()) {
                out.push_back(std::move(t));
                return out;
            }
            lexOne(t);
            t.text = q_.substr(t.offset, pos_ - t.offset);
            out.push_back(std::move(t));
        }
    }

  private:
    char peek(size_t ahead = 0) const { return pos_ + ahead < q_.size() ? q_[pos_ + ahead] : '\0'; }

    void lexOne(Token& t) {
        char c = q_[pos_];
        if (isNameStart(c)) {
            while (pos_ < q_.size() && isNameChar(q_[pos_])) ++pos_;
            t.kind = TokenKind::Identifier;
            return;
        }
        if (isDigit(c) || (c == '.' && isDigit(peek(1)))) return lexNumber(t);
        if (c == '\'' || c == '"') return lexString(t);
        if (c == '{') return lexPath(t);
        ++pos_;
        switch (c) {
            case '*':
                t.kind = TokenKind::Star;
                return;
            case ',':
                t.kind = TokenKind::Comma;
                return;
            case '(':
                t.kind = TokenKind::LParen;
                return;
            case ')':
                t.kind = TokenKind::RParen;
                return;
            case '.':
                t.kind = TokenKind::Dot;
                return;
            case '-':
                t.kind = TokenKind::Minus;
                return;
            case '+':
                t.kind = TokenKind::Plus;
                return;
            case '=':
                t.kind = TokenKind::Equal;
                return;
            case '<':
                if (peek() == '=') {
                    ++pos_;
                    t.kind = TokenKind::LessEqual;
                } else if (peek() == '>') {
                    ++pos_;
                    t.kind = TokenKind::NotEqual;
                } else {
                    t.kind = TokenKind::Less;
                }
                return;
            case '>':
                if (peek() == '=') {
                    ++pos_;
                    t.kind = TokenKind::GreaterEqual;
                } else {
                    t.kind = TokenKind::Greater;
                }
                return;
            case '!':
                if (peek() == '=') {
                    ++pos_;
                    t.kind = TokenKind::NotEqual;
                    return;
                }
                break;
            default:
                break;
        }
        invalidQuery(t.offset, "unexpected character");
    }

    void lexNumber(Token& t) {
        size_t start = pos_;
        if (q_[pos_] == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            pos_ += 2;
            size_t digits = pos_;
            while (pos_ < q_.size() && isHexDigit(q_[pos_])) ++pos_;
            if (pos_ == digits) invalidQuery(start, "hexadecimal number without digits");
            auto r = std::from_chars(q_.data() + digits, q_.data() + pos_, t.integer, 16);
            if (r.ec != std::errc()) invalidQuery(start, "number out of range");
            t.kind = TokenKind::Integer;
        } else {
            bool real = false;
            while (pos_ < q_.size() && isDigit(q_[pos_])) ++pos_;
            if (peek() == '.' && isDigit(peek(1))) {
                real = true;
                ++pos_;
                while (pos_ < q_.size() && isDigit(q_[pos_])) ++pos_;
            }
            if ((peek() == 'e' || peek() == 'E') &&
                (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
                real = true;
                pos_ += 2;
                while (pos_ < q_.size() && isDigit(q_[pos_])) ++pos_;
            }
            if (real) {
                auto r = std::from_chars(q_.data() + start, q_.data() + pos_, t.real);
                if (r.ec != std::errc() || !std::isfinite(t.real))
                    invalidQuery(start, "number out of range");
                t.kind = TokenKind::Real;
            } else {
                auto r = std::from_chars(q_.data() + start, q_.data() + pos_, t.integer);
                if (r.ec != std::errc()) invalidQuery(start, "number out of range");
                t.kind = TokenKind::Integer;
            }
        }
        if (pos_ < q_.size() && (isNameChar(q_[pos_]) || q_[pos_] == '.'))
            invalidQuery(start, "malformed number");
    }

    void lexString(Token& t) {
        char quote = q_[pos_++];
        while (pos_ < q_.size()) {
            char c = q_[pos_];
            if (c == quote) {
                ++pos_;
                t.kind = TokenKind::String;
                return;
            }
            if (c == '\\') {
                char next = peek(1);
                if (next != '\\' && next != '"' && next != '\'')
                    invalidQuery(pos_, "unknown escape sequence");
                t.value += next;
                pos_ += 2;
                continue;
            }
            t.value += c;
            ++pos_;
        }
        invalidQuery(t.offset, "unterminated string");
    }

    // An object path in braces. Quoted key values may hold braces, so quotes
    // (with their backslash escapes) are skipped whole.
    void lexPath(Token& t) {
        size_t start = ++pos_;
        bool inQuote = false;
        while (pos_ < q_.size()) {
            char c = q_[pos_];
            if (inQuote) {
                if (c == '\\' && pos_ + 1 < q_.size()) {
                    pos_ += 2;
                    continue;
                }
                if (c == '"') inQuote = false;
            } else if (c == '"') {
                inQuote = true;
            } else if (c == '}') {
                t.value = std::string(q_.substr(start, pos_ - start));
                ++pos_;
                t.kind = TokenKind::Path;
                return;
            }
            ++pos_;
        }
        invalidQuery(t.offset, "unterminated object path");
    }

    std::string_view q_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view query) { return Lexer(query).run(); }

}  // namespace wbem::wql
