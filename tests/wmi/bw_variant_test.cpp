#include "wmi/bw_variant.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "wbem/api.h"

namespace {

using wbem::Variant;
using wmi::RenderValue;
using wmi::UserFormats;
using wmi::WideToCodePage;

std::string bytes(std::initializer_list<unsigned> list) {
    std::string s;
    for (unsigned b : list) s += static_cast<char>(b);
    return s;
}

Variant arrayOf(std::vector<wbem::ArrayBound> bounds, wbem::VarType type = wbem::VarType::Int32) {
    wbem::SafeArray arr;
    arr.elementType = type;
    size_t total = 1;
    for (auto& b : bounds) total *= b.count;
    for (size_t i = 0; i < total; ++i)
        arr.elements.push_back(type == wbem::VarType::String ? Variant::string("x")
                                                             : Variant::int32(int32_t(i)));
    arr.bounds = std::move(bounds);
    return Variant::array(std::move(arr));
}

UserFormats german() {
    UserFormats f;
    f.shortDate = "%d.%m.%Y";
    f.decimalSeparator = ",";
    return f;
}

struct RenderCase {
    const char* what;
    Variant value;
    std::string expected;
};

TEST(RenderValue, EachTagRendersAsOneLine) {
    const RenderCase cases[] = {
        {"empty", Variant(), ""},
        {"null", Variant::null(), ""},
        {"empty string", Variant::string(""), ""},
        {"int16", Variant::int16(-5), "-5"},
        {"int32 min", Variant::int32(INT32_MIN), "-2147483648"},
        {"uint8", Variant::uint8(255), "255"},
        {"true", Variant::boolean(true), "True"},
        {"false", Variant::boolean(false), "False"},
        {"real half", Variant::real64(0.5), "0,5"},
        {"real whole", Variant::real64(42.0), "42"},
        {"real third", Variant::real64(1.0 / 3), "0,333333333333333"},
        {"real large", Variant::real64(1e20), "1E+20"},
        {"real small", Variant::real64(-1.5e-7), "-1,5E-07"},
        {"real 15 digits", Variant::real64(123456789012345678.0), "1,23456789012346E+17"},
        {"real32 keeps its own precision", Variant::real32(0.1f), "0,1"},
        {"datetime string stays raw", Variant::string("20240131123456.000000+060"),
         "20240131123456.000000+060"},
        {"uint64 as string", Variant::string("18446744073709551615"), "18446744073709551615"},
        {"array 1d", arrayOf({{0, 4}}), "array[0..3]"},
        {"array 2d", arrayOf({{0, 4}, {0, 2}}), "array[0..3 0..1]"},
        {"array of one", arrayOf({{0, 1}}), "array[0..0]"},
        {"array negative lower bound", arrayOf({{-2, 3}}), "array[-2..0]"},
        {"array without elements", arrayOf({{0, 0}}), "array[0..-1]"},
        {"array of strings", arrayOf({{1, 2}}, wbem::VarType::String), "array[1..2]"},
        {"embedded object", Variant::object(nullptr), "Type mismatch"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RenderValue(c.value, 1250, german()), c.expected) << c.what;
}

TEST(RenderValue, DateShowsTheDatePartInTheShortFormat) {
    const struct {
        double ole;
        const char* expected;
    } cases[] = {
        {45322.75, "31.01.2024"},   // the time of day is dropped
        {0.0, "30.12.1899"},        // the epoch
        {-1.25, "29.12.1899"},      // before it, the fraction is still the time
        {36585.0, "29.02.2000"},    // leap day
        {2958465.5, "31.12.9999"},  // last representable day
        {-657434.0, "01.01.100"},   // first representable day (strftime does not pad %Y)
        {2958466.0, "Type mismatch"}, {-657435.0, "Type mismatch"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RenderValue(Variant::date(c.ole), 1250, german()), c.expected) << c.ole;
}

TEST(RenderValue, UsesTheEnvironmentsFormatsByDefault) {
    // The test runs in a C/POSIX locale: month/day/two-digit year and ".".
    const wmi::UserFormats& f = wmi::SystemUserFormats();
    EXPECT_EQ(RenderValue(Variant::real64(0.5), 1250), "0" + f.decimalSeparator + "5");
    EXPECT_EQ(RenderValue(Variant::date(45322.0), 1250),
              RenderValue(Variant::date(45322.0), 1250, f));
    if (f.shortDate == "%m/%d/%y") {
        EXPECT_EQ(RenderValue(Variant::date(45322.0), 1250), "01/31/24");
    }
}

TEST(RenderValue, StringsAreConvertedIntoTheCodePage) {
    const Variant v = Variant::string("Žluťoučký kůň");
    EXPECT_EQ(RenderValue(v, 1250), bytes({0x8E, 0x6C, 0x75, 0x9D, 0x6F, 0x75, 0xE8, 0x6B, 0xFD,
                                           0x20, 0x6B, 0xF9, 0xF2}));
    EXPECT_EQ(RenderValue(v, 65001), "Žluťoučký kůň");
    // A separator outside ASCII follows the code page too.
    UserFormats f;
    f.decimalSeparator = "·";
    EXPECT_EQ(RenderValue(Variant::real64(2.5), 1252, f), bytes({'2', 0xB7, '5'}));
}

struct CodePageCase {
    const char* what;
    std::string text;
    int32_t codePage;
    std::string expected;
};

TEST(WideToCodePage, ConvertsComposesAndSubstitutes) {
    const CodePageCase cases[] = {
        {"Czech in 1250", "Žluťoučký kůň", 1250,
         bytes({0x8E, 0x6C, 0x75, 0x9D, 0x6F, 0x75, 0xE8, 0x6B, 0xFD, 0x20, 0x6B, 0xF9, 0xF2})},
        {"Czech in 1252", "Žluťoučký kůň", 1252,
         bytes({0x8E, 0x6C, 0x75, 0x3F, 0x6F, 0x75, 0x3F, 0x6B, 0xFD, 0x20, 0x6B, 0x3F, 0x3F})},
        {"empty", "", 1250, ""},
        {"ASCII", "Win32_Process", 1250, "Win32_Process"},
        {"euro in 1252", "€", 1252, bytes({0x80})},
        {"decomposed e acute composes", "e\u0301", 1250, bytes({0xE9})},
        {"mark without precomposed form is dropped", "q\u0303", 1250, "q"},
        {"character outside the BMP is one ?", "a\U0001F600b", 1250, "a?b"},
        {"Japanese in 932", "日本", 932, bytes({0x93, 0xFA, 0x96, 0x7B})},
        {"Japanese in 1250", "日本", 1250, "??"},
        {"UTF-8 keeps everything", "日本 ů", 65001, "日本 ů"},
        {"UTF-8 is composed", "e\u0301", 65001, "é"},
        {"system code page is UTF-8", "ů", 0, "ů"},
        {"only the low 16 bits count", "ů", 0x10000 + 1250, bytes({0xF9})},
        {"code page without a converter", "abc", 12345, ""},
        {"invalid UTF-8 input", std::string("a\xFF") + "b", 1250, "a?b"},
    };
    for (const auto& c : cases) EXPECT_EQ(WideToCodePage(c.text, c.codePage), c.expected) << c.what;
}

TEST(CodePageOfCharset, TheLocalesSetAsAWindowsCodePageAndUtf8WhereItHasNone) {
    const struct {
        const char* charset;
        int32_t page;
    } cases[] = {
        {"UTF-8", 65001}, {"utf8", 65001},    {"ISO-8859-2", 28592},     {"KOI8-R", 20866},
        {"CP1250", 1250}, {"EUC-JP", 20932},  {"ANSI_X3.4-1968", 65001},  // the C locale
        {"", 65001},      {"BOGUS-1", 65001},
    };
    for (const auto& c : cases) EXPECT_EQ(wmi::CodePageOfCharset(c.charset), c.page) << c.charset;
}

TEST(WideToCodePage, ThreadsShareConvertersSafely) {
    // The instance thread and the window thread render at the same time.
    const std::string czech = "Žluťoučký kůň";
    const std::string in1250 = WideToCodePage(czech, 1250);
    const std::string in1252 = WideToCodePage(czech, 1252);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                int32_t cp = (i + t) % 2 ? 1250 : 1252;
                if (WideToCodePage(czech, cp) != (cp == 1250 ? in1250 : in1252)) ++wrong;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(TextFunctions, CountChar) {
    EXPECT_EQ(wmi::CountChar("", ','), 0);
    EXPECT_EQ(wmi::CountChar("a,b,,c", ','), 3);
    EXPECT_EQ(wmi::CountChar("abc", ','), 0);
}

TEST(TextFunctions, NthField) {
    const struct {
        const char* text;
        int n;
        const char* expected;
    } cases[] = {
        {"a,,b", 1, "a"}, {"a,,b", 2, ""},         {"a,,b", 3, "b"},   {"a,,b", 4, ""},
        {"abc", 5, ""},   {"abc", 0, "abc"},       {"abc", -3, "abc"}, {"", 1, ""},
        {",x", 1, ""},    {" p1, p2 ", 2, " p2 "}, {"a,b,", 3, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wmi::NthField(c.text, c.n, ','), c.expected) << c.text << " #" << c.n;
}

TEST(TextFunctions, ReplaceAll) {
    const struct {
        const char* pattern;
        const char* replacement;
        const char* text;
        bool caseSensitive;
        const char* expected;
    } cases[] = {
        {" ", "&nbsp;", "Thread Count", true, "Thread&nbsp;Count"},
        {"", "x", "abc", true, "abc"},
        {"AB", "-", "ab Ab AB", true, "ab Ab -"},
        {"AB", "-", "ab Ab AB", false, "- - -"},
        {"x", "y", "", true, ""},
        // The new text is searched from its start again: runs collapse.
        {"  ", " ", "a      b", true, "a b"},
        {"ab", "a", "abbb", true, "a"},
        // A replacement holding the pattern cannot loop: each original
        // occurrence is replaced once.
        {"a", "aa", "banana", true, "baanaanaa"},
        {"a", "xAx", "aa", false, "xAxxAx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wmi::ReplaceAll(c.pattern, c.replacement, c.text, c.caseSensitive), c.expected)
            << c.pattern << " in " << c.text;
}

TEST(TextFunctions, ExtensionOf) {
    EXPECT_EQ(wmi::ExtensionOf("/tmp/result.backup.HTML", '.'), "HTML");
    EXPECT_EQ(wmi::ExtensionOf("result", '.'), "result");
    EXPECT_EQ(wmi::ExtensionOf("result.", '.'), "");
    EXPECT_EQ(wmi::ExtensionOf("", '.'), "");
    EXPECT_EQ(wmi::ExtensionOf("a." + std::string(300, 'x'), '.'), std::string(255, 'x'));
}

}  // namespace
