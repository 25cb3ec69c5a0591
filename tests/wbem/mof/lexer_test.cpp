#include "wbem/mof/lexer.h"

#include <gtest/gtest.h>

#include <vector>

namespace wbem::mof {
namespace {

struct Lexed {
    SourceSet sources{nullptr};
    std::vector<Token> tokens;
};

// All tokens of `text` up to and including End.
std::unique_ptr<Lexed> lex(std::string_view text) {
    auto out = std::make_unique<Lexed>();
    uint32_t file = out->sources.add("lex.mof", std::string(text));
    Lexer lexer(out->sources, file);
    do {
        out->tokens.push_back(lexer.next());
    } while (out->tokens.back().kind != Tok::End);
    return out;
}

struct NumberCase {
    const char* text;
    Tok kind;
    uint64_t magnitude;
    bool negative;
    double real;
};

class LexNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LexNumber, ReadsValue) {
    const NumberCase& c = GetParam();
    auto l = lex(c.text);
    ASSERT_EQ(l->tokens.size(), 2u) << c.text;
    const Token& t = l->tokens[0];
    EXPECT_EQ(t.kind, c.kind) << c.text;
    EXPECT_EQ(t.negative, c.negative) << c.text;
    if (c.kind == Tok::Integer) {
        EXPECT_EQ(t.magnitude, c.magnitude) << c.text;
    } else {
        EXPECT_DOUBLE_EQ(t.real, c.real) << c.text;
    }
    EXPECT_EQ(t.end, std::string_view(c.text).size());
}

INSTANTIATE_TEST_SUITE_P(
    Literals, LexNumber,
    ::testing::Values(
        NumberCase{"0", Tok::Integer, 0, false, 0}, NumberCase{"42", Tok::Integer, 42, false, 0},
        NumberCase{"-17", Tok::Integer, 17, true, 0}, NumberCase{"+5", Tok::Integer, 5, false, 0},
        NumberCase{"0x1F", Tok::Integer, 31, false, 0},
        NumberCase{"-0X10", Tok::Integer, 16, true, 0},
        NumberCase{"0xFFFFFFFFFFFFFFFF", Tok::Integer, UINT64_MAX, false, 0},
        NumberCase{"017", Tok::Integer, 15, false, 0},
        NumberCase{"101b", Tok::Integer, 5, false, 0},
        NumberCase{"-1101B", Tok::Integer, 13, true, 0},
        NumberCase{"0b", Tok::Integer, 0, false, 0},
        NumberCase{"18446744073709551615", Tok::Integer, UINT64_MAX, false, 0},
        NumberCase{"1.5", Tok::Real, 0, false, 1.5}, NumberCase{"-2e3", Tok::Real, 0, true, -2000},
        NumberCase{".5", Tok::Real, 0, false, 0.5}, NumberCase{"-.25", Tok::Real, 0, true, -0.25},
        NumberCase{"2E-2", Tok::Real, 0, false, 0.02},
        NumberCase{"1.e+2", Tok::Real, 0, false, 100}, NumberCase{"3.", Tok::Real, 0, false, 3}));

TEST(Lexer, TokensOfADeclarationWithPositions) {
    auto l = lex("[Key] /* c */ CIM_Foo REF $a = \"x\\\"y\" 'c';\n  // tail\n#pragma");
    std::vector<Tok> kinds;
    for (const Token& t : l->tokens) kinds.push_back(t.kind);
    EXPECT_EQ(kinds,
              (std::vector<Tok>{Tok::LBracket, Tok::Identifier, Tok::RBracket, Tok::Identifier,
                                Tok::Identifier, Tok::Alias, Tok::Equals, Tok::String, Tok::Char,
                                Tok::Semicolon, Tok::Hash, Tok::Identifier, Tok::End}));
    EXPECT_EQ(l->tokens[3].text, "CIM_Foo");
    EXPECT_EQ(l->tokens[3].offset, 14u);
    EXPECT_EQ(l->tokens[5].text, "a");
    EXPECT_EQ(l->tokens[7].text, "x\\\"y");  // body with the escape still in it
    EXPECT_EQ(l->tokens[8].magnitude, uint64_t('c'));
    Location hash = l->sources.locate(Pos{0, l->tokens[10].offset});
    EXPECT_EQ(hash.line, 3);
    EXPECT_EQ(hash.column, 1);
}

TEST(Lexer, CharLiterals) {
    struct Case {
        const char* text;
        uint32_t cp;
    } cases[] = {{"'A'", 'A'},     {"'\\x41'", 0x41},    {"'\\n'", '\n'},       {"'\\''", '\''},
                 {"'\\\\'", '\\'}, {"'\xC3\xA9'", 0xE9}, {"'\\X20AC'", 0x20AC}, {"'\"'", '"'}};
    for (const Case& c : cases) {
        auto l = lex(c.text);
        ASSERT_EQ(l->tokens[0].kind, Tok::Char) << c.text;
        EXPECT_EQ(l->tokens[0].magnitude, c.cp) << c.text;
    }
}

struct ErrorCase {
    const char* text;
    int line;
    int column;
    const char* message;
};

class LexError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(LexError, ReportsPlaceAndCause) {
    const ErrorCase& c = GetParam();
    try {
        lex(c.text);
        FAIL() << "no error for " << c.text;
    } catch (const MofError& e) {
        EXPECT_EQ(e.message(), c.message) << c.text;
        EXPECT_EQ(e.line(), c.line) << c.text;
        EXPECT_EQ(e.column(), c.column) << c.text;
        EXPECT_EQ(e.file(), "lex.mof");
        EXPECT_EQ(e.code(), hr::Failed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LexError,
    ::testing::Values(
        ErrorCase{"x = \"abc", 1, 5,
                  "unterminated string (missing '\"' before the end of the line)"},
        ErrorCase{"x\n  \"abc\ndef\"", 2, 3,
                  "unterminated string (missing '\"' before the end of the line)"},
        ErrorCase{"\"ends in escape\\", 1, 1,
                  "unterminated string (missing '\"' before the end of the line)"},
        ErrorCase{"a /* never closed", 1, 3, "unterminated comment (missing '*/')"},
        ErrorCase{"0x", 1, 1, "invalid hexadecimal number '0x'"},
        ErrorCase{"  12abc", 1, 3, "invalid number '12abc'"},
        ErrorCase{"09", 1, 1, "invalid octal number '09'"},
        ErrorCase{"102b", 1, 1, "invalid binary number '102b'"},
        ErrorCase{"1.2.3", 1, 1, "invalid number '1.2.3'"},
        ErrorCase{"18446744073709551616", 1, 1, "integer too large '18446744073709551616'"},
        ErrorCase{"0x10000000000000000", 1, 1, "integer too large '0x10000000000000000'"},
        ErrorCase{"1e999", 1, 1, "real number out of range '1e999'"},
        ErrorCase{"-", 1, 1, "unexpected character '-'"},
        ErrorCase{".", 1, 1, "invalid number '.'"},
        ErrorCase{"''", 1, 1, "empty character literal"},
        ErrorCase{"'ab'", 1, 1,
                  "unterminated character literal (expected a single character and a closing "
                  "''')"},
        ErrorCase{"x '\\q'", 1, 4, "unknown escape sequence '\\q'"},
        ErrorCase{"'\\xZ'", 1, 2, "expected hexadecimal digits after '\\x'"},
        ErrorCase{"'\xF0\x9F\x98\x80'", 1, 1, "character does not fit in a char16"},
        ErrorCase{"$ x", 1, 1, "expected an alias name after '$'"},
        ErrorCase{"a\x01", 1, 2, "unexpected control character 0x01"},
        ErrorCase{"\xC3\xA9t\xC3\xA9 @", 1, 5, "unexpected character '@'"}));

// Escapes are resolved when the parser reads a string; the text is UTF-8.
TEST(Unescape, ResolvesEveryEscape) {
    struct Case {
        const char* body;
        std::string expected;
    } cases[] = {
        {"plain", "plain"},
        {"\\b\\t\\n\\f\\r\\\"\\'\\\\", "\b\t\n\f\r\"'\\"},
        {"\\x41\\X42", "AB"},
        {"\\x00410", "A0"},  // at most four hex digits
        {"\\xe9", "\xC3\xA9"},
        {"\\x20AC", "\xE2\x82\xAC"},
        {"\\xD83D\\xDE00", "\xF0\x9F\x98\x80"},  // a surrogate pair is one character
        {"caf\xC3\xA9", "caf\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SourceSet sources(nullptr);
        uint32_t f = sources.add("s.mof", c.body);
        std::string out = "<";
        appendUnescaped(sources, Pos{f, 0}, sources.text(f), out);
        EXPECT_EQ(out, "<" + c.expected) << c.body;
    }
}

TEST(Unescape, RejectsBadEscapesAtTheBackslash) {
    struct Case {
        const char* body;
        int column;
        const char* message;
    } cases[] = {
        {"ab\\q", 3, "unknown escape sequence '\\q'"},
        {"\\x", 1, "expected hexadecimal digits after '\\x'"},
        {"a\\xD800", 2, "unpaired UTF-16 surrogate in escape"},
        {"\\xDC00\\xD800", 1, "unpaired UTF-16 surrogate in escape"},
        {"\\xD800\\n", 1, "unpaired UTF-16 surrogate in escape"},
        {"xy\\x0", 3, "a string cannot contain the character U+0000"},
    };
    for (const Case& c : cases) {
        SourceSet sources(nullptr);
        uint32_t f = sources.add("s.mof", c.body);
        std::string out;
        try {
            appendUnescaped(sources, Pos{f, 0}, sources.text(f), out);
            ADD_FAILURE() << "no error for " << c.body;
        } catch (const MofError& e) {
            EXPECT_EQ(e.message(), c.message) << c.body;
            EXPECT_EQ(e.column(), c.column) << c.body;
        }
    }
}

TEST(SourceSet, NormalisesEncodings) {
    SourceSet sources(nullptr);
    // UTF-8 with a byte-order mark; UTF-16 LE and BE with theirs; stray bytes.
    EXPECT_EQ(sources.text(sources.add("a",
                                       "\xEF\xBB\xBF"
                                       "class")),
              "class");
    EXPECT_EQ(sources.text(sources.add("b", std::string("\xFF\xFE"
                                                        "c\0\xE9\0",
                                                        6))),
              "c\xC3\xA9");
    EXPECT_EQ(sources.text(sources.add("c", std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6))),
              "\xF0\x9F\x98\x80");
    EXPECT_EQ(sources.text(sources.add("d", std::string("\xFF\xFE\x00\xD8x", 5))),
              "\xEF\xBF\xBD\xEF\xBF\xBD");  // lone surrogate, odd byte
    EXPECT_EQ(sources.text(sources.add("e",
                                       "a\xFF"
                                       "b")),
              "a\xEF\xBF\xBD"
              "b");
    // Past the first eight-byte words, valid and invalid alike.
    EXPECT_EQ(sources.text(sources.add("f", "0123456789abcdef\xC3\xA9")),
              "0123456789abcdef\xC3\xA9");
    EXPECT_EQ(sources.text(sources.add("g", "0123456789abcdefgh\xC3")),
              "0123456789abcdefgh\xEF\xBF\xBD");
}

TEST(SourceSet, ColumnsCountCharacters) {
    SourceSet sources(nullptr);
    uint32_t f = sources.add("x.mof", "line1\n\xC3\xA9\xC3\xA9x\n");
    Location loc = sources.locate(Pos{f, 10});  // the 'x' after two two-byte characters
    EXPECT_EQ(loc.line, 2);
    EXPECT_EQ(loc.column, 3);
    loc = sources.locate(Pos{f, 0});
    EXPECT_EQ(loc.line, 1);
    EXPECT_EQ(loc.column, 1);
    loc = sources.locate(Pos{f, 6});  // first character of line 2
    EXPECT_EQ(loc.line, 2);
    EXPECT_EQ(loc.column, 1);
}

TEST(SourceSet, Paths) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"a/b/../c.mof", "a/c.mof"},
                 {"./x/./y.mof", "x/y.mof"},
                 {"Core\\CIM_A.mof", "Core/CIM_A.mof"},
                 {"/r/../../x.mof", "/x.mof"},
                 {"../up.mof", "../up.mof"},
                 {"a//b.mof", "a/b.mof"}};
    for (const Case& c : cases) EXPECT_EQ(normalizedPath(c.in), c.out) << c.in;
    EXPECT_EQ(folderOf("dir/sub/f.mof"), "dir/sub/");
    EXPECT_EQ(folderOf("f.mof"), "");
}

}  // namespace
}  // namespace wbem::mof
