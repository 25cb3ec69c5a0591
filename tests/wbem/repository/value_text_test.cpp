#include "wbem/repository/value_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "wbem/errors.h"

using namespace wbem;

namespace {

// A declared type: a scalar, or with `array` an array of it.
CimTypeDecl decl(CimType t, bool array = false) { return {t, array, -1, {}}; }

}  // namespace

TEST(ParseValueText, GoodTextBecomesTheTypedValue) {
    using T = CimType;
    struct Case {
        T type;
        const char* text;
        CimValue want;
    } cases[] = {
        {T::SInt8, "-128", CimValue::sint(-128)},
        {T::SInt8, "127", CimValue::sint(127)},
        {T::UInt8, "255", CimValue::uint(255)},
        {T::UInt8, " 0x1f ", CimValue::uint(31)},
        {T::SInt16, "-32768", CimValue::sint(-32768)},
        {T::UInt16, "65535", CimValue::uint(65535)},
        {T::SInt32, "+42", CimValue::sint(42)},
        {T::SInt32, "-2147483648", CimValue::sint(INT32_MIN)},
        {T::UInt32, "4294967295", CimValue::uint(UINT32_MAX)},
        {T::SInt64, "-9223372036854775808", CimValue::sint(INT64_MIN)},
        {T::UInt64, "18446744073709551615", CimValue::uint(UINT64_MAX)},
        {T::Real32, "1.5", CimValue::real(1.5)},
        {T::Real64, "-2.5e10", CimValue::real(-2.5e10)},
        {T::Real64, ".25", CimValue::real(0.25)},
        {T::Real64, "-INF", CimValue::real(-INFINITY)},
        {T::Boolean, "TRUE", CimValue::boolean(true)},
        {T::Boolean, "false", CimValue::boolean(false)},
        {T::Boolean, "1", CimValue::boolean(true)},
        {T::Boolean, " 0", CimValue::boolean(false)},
        {T::String, "  as typed  ", CimValue::string("  as typed  ")},
        {T::String, "", CimValue::string("")},
        {T::DateTime, "20261211013000.000000+060", CimValue::string("20261211013000.000000+060")},
        {T::DateTime, "2026**11013000.******+000", CimValue::string("2026**11013000.******+000")},
        {T::DateTime, "00000001020304.000000:000", CimValue::string("00000001020304.000000:000")},
        // Microseconds measured to a millisecond.
        {T::DateTime, "20261211013000.125***+060", CimValue::string("20261211013000.125***+060")},
        {T::Char16, "x", CimValue::uint('x')},
        {T::Char16, "\xc3\xa9", CimValue::uint(0xE9)},
        {T::Char16, " ", CimValue::uint(' ')},
        {T::Reference, "Win32_Process.Handle=\"1\"",
         CimValue::string("Win32_Process.Handle=\"1\"")},
        {T::Reference, "\\\\host\\root\\cimv2:Win32_Service.Name=\"ssh\"",
         CimValue::string("\\\\host\\root\\cimv2:Win32_Service.Name=\"ssh\"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(cimTypeName(c.type)) + " " + c.text);
        EXPECT_EQ(parseValueText(c.text, decl(c.type)), c.want);
    }
    EXPECT_TRUE(std::isnan(parseValueText("nan", decl(T::Real32)).asReal()));
}

TEST(ParseValueText, BadTextIsRefusedWithTheFaultNamed) {
    using T = CimType;
    struct Case {
        T type;
        const char* text;
        const char* says;
    } cases[] = {
        {T::SInt8, "128", "out of the range of a sint8 (-128 to 127)"},
        {T::SInt8, "-129", "out of the range"},
        {T::UInt8, "256", "out of the range of a uint8 (0 to 255)"},
        {T::UInt8, "-1", "out of the range"},
        {T::UInt16, "65536", "out of the range"},
        {T::SInt32, "2147483648", "out of the range"},
        {T::UInt32, "4294967296", "out of the range"},
        {T::SInt64, "9223372036854775808", "out of the range"},
        {T::SInt64, "-9223372036854775809", "out of the range"},
        {T::UInt64, "18446744073709551616", "out of the range"},
        {T::UInt32, "", "is not a uint32"},
        {T::UInt32, "12abc", "is not a uint32"},
        {T::UInt32, "1.5", "is not a uint32"},
        {T::SInt32, "--1", "is not a sint32"},
        {T::SInt32, "0x", "is not a sint32"},
        {T::Real32, "1e39", "out of the range of a real32"},
        {T::Real64, "1e400", "out of the range of a real64"},
        {T::Real64, "infinity", "is not a real64"},
        {T::Real64, "1,5", "is not a real64"},
        {T::Boolean, "yes", "is not a boolean"},
        {T::Boolean, "", "is not a boolean"},
        {T::DateTime, "2026-12-11", "is not a datetime"},
        {T::DateTime, "20261311013000.000000+060", "is not a datetime"},  // month 13
        {T::DateTime, "20261211013000.000000*060", "is not a datetime"},
        {T::DateTime, "00000001020304.000000:060", "is not a datetime"},
        {T::DateTime, "2026*211013000.000000+060", "is not a datetime"},  // half a month open
        {T::Char16, "", "is not a char16"},
        {T::Char16, "ab", "is not a char16"},
        {T::Char16, "\xf0\x9f\x98\x80", "outside the range of a char16"},
        {T::Reference, "", "is not an object path"},
        {T::Reference, "Win32_Process.Handle=", "is not an object path"},
        {T::Object, "instance of X {};", "embedded object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(cimTypeName(c.type)) + " " + c.text);
        try {
            parseValueText(c.text, decl(c.type));
            ADD_FAILURE() << "accepted";
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::TypeMismatch);
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(ParseValueText, ArraysTakeOneElementPerLine) {
    EXPECT_EQ(parseValueText("1\n2\r\n3", decl(CimType::UInt16, true)),
              CimValue::array({CimValue::uint(1), CimValue::uint(2), CimValue::uint(3)}));
    EXPECT_EQ(parseValueText("", decl(CimType::String, true)), CimValue::array({}));
    // An empty line inside a string array is an empty element; a final newline ends the last.
    EXPECT_EQ(
        parseValueText("a\n\nb\n", decl(CimType::String, true)),
        CimValue::array({CimValue::string("a"), CimValue::string(""), CimValue::string("b")}));
    try {
        parseValueText("1\n2\nx", decl(CimType::SInt32, true));
        ADD_FAILURE() << "accepted";
    } catch (const WbemError& e) {
        EXPECT_NE(std::string(e.what()).find("Line 3: \"x\" is not a sint32"), std::string::npos)
            << e.what();
    }
}

TEST(ReadArguments, NamesAreMatchedOnceAndValuesReadAsDeclared) {
    MethodDef method;
    method.name = "Connect";
    auto param = [](const char* name, CimType t, bool array, bool in) {
        ParameterDef p;
        p.name = name;
        p.type = decl(t, array);
        p.in = in;
        p.out = !in;
        return p;
    };
    // "Port" is declared twice in other cases: the first one wins.
    method.parameters = {
        param("Handle", CimType::UInt32, false, false), param("Port", CimType::UInt16, false, true),
        param("PORT", CimType::String, false, true), param("Hosts", CimType::String, true, true),
        param("Target", CimType::Reference, false, true)};
    const struct {
        const char* what;
        ArgumentTexts given;
        TypedArguments want;  // empty when refused
        const char* says;     // the refusal's text
    } cases[] = {
        {"blanks and letter case around a name",
         {{" port\t", "80"}},
         {{"Port", CimValue::uint(80)}},
         ""},
        {"an array value",
         {{"Hosts", "a\r\nb"}},
         {{"Hosts", CimValue::array({CimValue::string("a"), CimValue::string("b")})}},
         ""},
        {"a reference",
         {{"Target", "Win32_Process.Handle=\"1\""}},
         {{"Target", CimValue::string("Win32_Process.Handle=\"1\"")}},
         ""},
        {"order given kept",
         {{"Target", "X.K=1"}, {"Port", "1"}},
         {{"Target", CimValue::string("X.K=1")}, {"Port", CimValue::uint(1)}},
         ""},
        {"unknown name", {{"Signal", "9"}}, {}, "Connect has no in-parameter Signal."},
        {"an out-parameter", {{"Handle", "9"}}, {}, "Connect has no in-parameter Handle."},
        {"name given twice", {{"Port", "1"}, {"port ", "2"}}, {}, "Port is given twice."},
        {"a bad value for its type",
         {{"Port", "65536"}},
         {},
         "Port: \"65536\" is out of the range"},
        {"a bad reference after a good argument",
         {{"Hosts", "a"}, {"Target", "X.K="}},
         {},
         "Target: \"X.K=\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            EXPECT_EQ(readArguments(method, c.given), c.want);
            EXPECT_STREQ(c.says, "") << "accepted";
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::InvalidParameter);
            EXPECT_TRUE(c.want.empty()) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}
