#include "lexer.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

namespace wbem::mof {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;  // non-ASCII letters, already valid UTF-8
}
bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the escape at s[i] == '\\'. Returns the index past it, or 0 with
// `error` set.
size_t readEscape(std::string_view s, size_t i, uint32_t& cp, std::string& error) {
    if (i + 1 >= s.size()) {
        error = "incomplete escape sequence";
        return 0;
    }
    char c = s[i + 1];
    static constexpr std::pair<char, char> kSimple[] = {
        {'b', '\b'}, {'t', '\t'}, {'n', '\n'},  {'f', '\f'},
        {'r', '\r'}, {'"', '"'},  {'\'', '\''}, {'\\', '\\'},
    };
    for (auto [name, value] : kSimple) {
        if (c == name) {
            cp = static_cast<uint32_t>(value);
            return i + 2;
        }
    }
    if (c == 'x' || c == 'X') {
        size_t j = i + 2;
        cp = 0;
        while (j < s.size() && j < i + 6 && hexValue(s[j]) >= 0) {
            cp = cp * 16 + static_cast<uint32_t>(hexValue(s[j]));
            ++j;
        }
        if (j == i + 2) {
            error = "expected hexadecimal digits after '\\" + std::string(1, c) + "'";
            return 0;
        }
        return j;
    }
    size_t len = utf8Length(static_cast<unsigned char>(c));
    error = "unknown escape sequence '\\" + std::string(s.substr(i + 1, len)) + "'";
    return 0;
}

}  // namespace

Lexer::Lexer(const SourceSet& sources, uint32_t file)
    : sources_(sources), file_(file), text_(sources.text(file)) {}

void Lexer::fail(size_t at, const std::string& message) const {
    sources_.fail(Pos{file_, static_cast<uint32_t>(at)}, message);
}

void Lexer::skipBlanksAndComments() {
    const size_t n = text_.size();
    while (pos_ < n) {
        char c = text_[pos_];
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '/' && pos_ + 1 < n && text_[pos_ + 1] == '/') {
            size_t eol = text_.find('\n', pos_ + 2);
            pos_ = eol == std::string_view::npos ? n : eol + 1;
        } else if (c == '/' && pos_ + 1 < n && text_[pos_ + 1] == '*') {
            size_t close = text_.find("*/", pos_ + 2);
            if (close == std::string_view::npos) fail(pos_, "unterminated comment (missing '*/')");
            pos_ = close + 2;
        } else {
            return;
        }
    }
}

Token Lexer::next() {
    skipBlanksAndComments();
    Token t;
    t.offset = static_cast<uint32_t>(pos_);
    if (pos_ >= text_.size()) {
        t.end = t.offset;
        return t;
    }
    const size_t start = pos_;
    const char c = text_[pos_];
    auto single = [&](Tok kind) {
        t.kind = kind;
        t.end = static_cast<uint32_t>(++pos_);
        t.text = text_.substr(start, 1);
        return t;
    };
    switch (c) {
        case '{':
            return single(Tok::LBrace);
        case '}':
            return single(Tok::RBrace);
        case '[':
            return single(Tok::LBracket);
        case ']':
            return single(Tok::RBracket);
        case '(':
            return single(Tok::LParen);
        case ')':
            return single(Tok::RParen);
        case ';':
            return single(Tok::Semicolon);
        case ',':
            return single(Tok::Comma);
        case ':':
            return single(Tok::Colon);
        case '=':
            return single(Tok::Equals);
        case '#':
            return single(Tok::Hash);
        case '"':
            return stringLiteral(start);
        case '\'':
            return charLiteral(start);
        default:
            break;
    }
    if (isIdentStart(c)) {
        while (pos_ < text_.size() && isIdentChar(text_[pos_])) ++pos_;
        t.kind = Tok::Identifier;
        t.text = text_.substr(start, pos_ - start);
        t.end = static_cast<uint32_t>(pos_);
        return t;
    }
    if (c == '$') {
        ++pos_;
        if (pos_ >= text_.size() || !isIdentStart(text_[pos_])) {
            fail(start, "expected an alias name after '$'");
        }
        while (pos_ < text_.size() && isIdentChar(text_[pos_])) ++pos_;
        t.kind = Tok::Alias;
        t.text = text_.substr(start + 1, pos_ - start - 1);
        t.end = static_cast<uint32_t>(pos_);
        return t;
    }
    if (isDigit(c) || c == '.' || c == '+' || c == '-') return number(start);
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        static const char* hex = "0123456789ABCDEF";
        std::string byte = "0x";
        byte += hex[(c >> 4) & 0xF];
        byte += hex[c & 0xF];
        fail(start, "unexpected control character " + byte);
    }
    fail(start, std::string("unexpected character '") + c + "'");
}

Token Lexer::number(size_t start) {
    Token t;
    t.offset = static_cast<uint32_t>(start);
    const size_t n = text_.size();
    size_t p = start;
    if (text_[p] == '+' || text_[p] == '-') {
        t.negative = text_[p] == '-';
        ++p;
    }
    auto bad = [&](const char* what) {
        size_t e = p;
        while (e < n && (isIdentChar(text_[e]) || text_[e] == '.')) ++e;
        fail(start, std::string(what) + " '" + std::string(text_.substr(start, e - start)) + "'");
    };
    auto finish = [&](size_t end) {
        if (end < n && (isIdentChar(text_[end]) || text_[end] == '.')) {
            p = end;
            bad("invalid number");
        }
        pos_ = end;
        t.end = static_cast<uint32_t>(end);
        t.text = text_.substr(start, end - start);
        return t;
    };
    const size_t digits = p;
    if (p + 1 < n && text_[p] == '0' && (text_[p + 1] == 'x' || text_[p + 1] == 'X')) {
        p += 2;
        if (p >= n || hexValue(text_[p]) < 0) bad("invalid hexadecimal number");
        uint64_t v = 0;
        for (; p < n && hexValue(text_[p]) >= 0; ++p) {
            if (v >> 60) bad("integer too large");
            v = v * 16 + static_cast<uint64_t>(hexValue(text_[p]));
        }
        t.kind = Tok::Integer;
        t.magnitude = v;
        return finish(p);
    }
    while (p < n && isDigit(text_[p])) ++p;
    const size_t intEnd = p;
    bool isReal = false;
    if (p < n && text_[p] == '.') {
        isReal = true;
        ++p;
        while (p < n && isDigit(text_[p])) ++p;
    }
    if (p < n && (text_[p] == 'e' || text_[p] == 'E')) {
        size_t q = p + 1;
        if (q < n && (text_[q] == '+' || text_[q] == '-')) ++q;
        if (q < n && isDigit(text_[q])) {
            isReal = true;
            p = q;
            while (p < n && isDigit(text_[p])) ++p;
        }
    }
    if (isReal) {
        // Needs a digit somewhere in the mantissa: "." and "-." are not numbers.
        if (intEnd == digits && (digits + 1 >= n || !isDigit(text_[digits + 1]))) {
            bad("invalid number");
        }
        double v = 0;
        auto [ptr, ec] = std::from_chars(text_.data() + digits, text_.data() + p, v);
        if (ec == std::errc::result_out_of_range) bad("real number out of range");
        if (ec != std::errc() || ptr != text_.data() + p) bad("invalid number");
        t.kind = Tok::Real;
        t.real = t.negative ? -v : v;
        return finish(p);
    }
    if (intEnd == digits) {
        if (digits < n && text_[digits] == '.') bad("invalid number");
        fail(start, std::string("unexpected character '") + text_[start] + "'");
    }
    std::string_view ds = text_.substr(digits, intEnd - digits);
    uint64_t v = 0;
    if (p < n && (text_[p] == 'b' || text_[p] == 'B') &&
        (p + 1 >= n || !isIdentChar(text_[p + 1]))) {
        for (char d : ds) {
            if (d != '0' && d != '1') {
                p = intEnd + 1;
                bad("invalid binary number");
            }
            if (v >> 63) bad("integer too large");
            v = v * 2 + static_cast<uint64_t>(d - '0');
        }
        ++p;
    } else if (ds.size() > 1 && ds[0] == '0') {
        for (char d : ds) {
            if (d > '7') bad("invalid octal number");
            if (v >> 61) bad("integer too large");
            v = v * 8 + static_cast<uint64_t>(d - '0');
        }
    } else {
        for (char d : ds) {
            uint64_t digit = static_cast<uint64_t>(d - '0');
            if (v > (std::numeric_limits<uint64_t>::max() - digit) / 10) bad("integer too large");
            v = v * 10 + digit;
        }
    }
    t.kind = Tok::Integer;
    t.magnitude = v;
    return finish(p);
}

Token Lexer::stringLiteral(size_t start) {
    // Descriptions make up most of a schema: find the closing quote with
    // memchr, then look for escapes and line ends only up to it.
    const char* const base = text_.data();
    const char* const end = base + text_.size();
    const char* p = base + start + 1;
    auto unterminated = [&] {
        fail(start, "unterminated string (missing '\"' before the end of the line)");
    };
    while (true) {
        auto* quote = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
        const char* stop = quote ? quote : end;
        auto* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(stop - p)));
        auto* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(nl ? nl - p : stop - p)));
        if (cr) nl = cr;
        auto* bs = static_cast<const char*>(std::memchr(p, '\\', size_t(nl ? nl - p : stop - p)));
        if (bs) {
            // An escaped character, which may be the quote; a line end may not be escaped.
            if (bs + 1 >= end || bs[1] == '\n' || bs[1] == '\r') unterminated();
            p = bs + 2;
            continue;
        }
        if (nl || !quote) unterminated();
        p = quote;
        break;
    }
    const size_t close = size_t(p - base);
    if (auto* nul =
            static_cast<const char*>(std::memchr(base + start + 1, '\0', close - start - 1)))
        fail(size_t(nul - base), "unexpected control character 0x00 in a string");
    Token t;
    t.kind = Tok::String;
    t.offset = static_cast<uint32_t>(start);
    t.text = text_.substr(start + 1, close - start - 1);
    pos_ = close + 1;
    t.end = static_cast<uint32_t>(pos_);
    return t;
}

Token Lexer::charLiteral(size_t start) {
    const size_t n = text_.size();
    size_t p = start + 1;
    uint32_t cp = 0;
    if (p >= n || text_[p] == '\n' || text_[p] == '\r') {
        fail(start, "unterminated character literal");
    }
    if (text_[p] == '\'') fail(start, "empty character literal");
    if (text_[p] == '\\') {
        std::string error;
        size_t after = readEscape(text_, p, cp, error);
        if (!after) fail(p, error);
        p = after;
    } else {
        size_t len = utf8Length(static_cast<unsigned char>(text_[p]));
        cp = decodeUtf8(text_, p, len);
        p += len;
    }
    if (p >= n || text_[p] != '\'') {
        fail(start,
             "unterminated character literal (expected a single character and a closing ''')");
    }
    if (cp > 0xFFFF) fail(start, "character does not fit in a char16");
    Token t;
    t.kind = Tok::Char;
    t.offset = static_cast<uint32_t>(start);
    t.magnitude = cp;
    t.text = text_.substr(start + 1, p - start - 1);
    pos_ = p + 1;
    t.end = static_cast<uint32_t>(pos_);
    return t;
}

void appendUnescaped(const SourceSet& sources, Pos bodyPos, std::string_view body,
                     std::string& out) {
    size_t i = 0;
    while (i < body.size()) {
        size_t bs = body.find('\\', i);
        if (bs == std::string_view::npos) {
            out.append(body.substr(i));
            return;
        }
        out.append(body.substr(i, bs - i));
        auto failAt = [&](const std::string& message) {
            sources.fail(Pos{bodyPos.file, bodyPos.offset + static_cast<uint32_t>(bs)}, message);
        };
        uint32_t cp = 0;
        std::string error;
        size_t after = readEscape(body, bs, cp, error);
        if (!after) failAt(error);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            // A surrogate pair written as two escapes is one character.
            uint32_t lo = 0;
            size_t after2 = 0;
            if (after + 1 < body.size() && body[after] == '\\' &&
                (body[after + 1] == 'x' || body[after + 1] == 'X')) {
                after2 = readEscape(body, after, lo, error);
            }
            if (!after2 || lo < 0xDC00 || lo > 0xDFFF)
                failAt("unpaired UTF-16 surrogate in escape");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            after = after2;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            failAt("unpaired UTF-16 surrogate in escape");
        } else if (cp == 0) {
            failAt("a string cannot contain the character U+0000");
        }
        appendUtf8(out, cp);
        i = after;
    }
}

std::string describeToken(const Token& t) {
    // Built by appending: GCC 12 warns (-Wrestrict, wrongly) on "'" + std::string.
    auto quoted = [](std::string out, std::string_view s, std::string_view close) {
        if (s.size() > 30) {
            out.append(s.substr(0, 27));
            out.append("...");
        } else {
            out.append(s);
        }
        out.append(close);
        return out;
    };
    switch (t.kind) {
        case Tok::End:
            return "end of file";
        case Tok::Identifier:
            return quoted("'", t.text, "'");
        case Tok::Alias:
            return quoted("alias '$", t.text, "'");
        case Tok::Integer:
        case Tok::Real:
            return quoted("number ", t.text, "");
        case Tok::String:
            return quoted("string \"", t.text, "\"");
        case Tok::Char:
            return "character literal";
        default:
            return quoted("'", t.text, "'");
    }
}

}  // namespace wbem::mof
