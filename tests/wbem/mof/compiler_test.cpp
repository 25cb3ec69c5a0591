// Classes, properties, methods and qualifiers as they reach the repository.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "mof_test_util.h"

namespace wbem::mof {
namespace {

using testing::compiled;
using testing::compileError;
using testing::testNs;

struct LiteralCase {
    const char* type;
    const char* literal;
    CimValue expected;
};

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << c.type << " = " << c.literal; }

class DefaultValue : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(DefaultValue, IsCoercedToTheDeclaredType) {
    const LiteralCase& c = GetParam();
    std::string text = std::string("class CIM_X { [Key] string Name; };\nclass A { ") + c.type +
                       " p = " + c.literal + "; };";
    auto state = compiled(text);
    auto cls = testNs(state).findClass("A");
    ASSERT_TRUE(cls);
    const PropertyDef* p = cls->property("p");
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->defaultValue == c.expected)
        << text << "\ngot " << mofLiteral(p->defaultValue, p->type.type);
}

CimValue arr(CimValue::Array a) { return CimValue::array(std::move(a)); }
CimValue s(const char* t) { return CimValue::string(t); }

INSTANTIATE_TEST_SUITE_P(
    EveryType, DefaultValue,
    ::testing::Values(
        LiteralCase{"sint8", "-128", CimValue::sint(-128)},
        LiteralCase{"uint8", "255", CimValue::uint(255)},
        LiteralCase{"uint8", "0x7f", CimValue::uint(127)},
        LiteralCase{"uint8", "017", CimValue::uint(15)},
        LiteralCase{"uint8", "101b", CimValue::uint(5)},
        LiteralCase{"sint16", "-32768", CimValue::sint(-32768)},
        LiteralCase{"uint16", "65535", CimValue::uint(65535)},
        LiteralCase{"sint32", "-2147483648", CimValue::sint(INT32_MIN)},
        LiteralCase{"sint32", "+7", CimValue::sint(7)},
        LiteralCase{"uint32", "4294967295", CimValue::uint(UINT32_MAX)},
        LiteralCase{"sint64", "-9223372036854775808", CimValue::sint(INT64_MIN)},
        LiteralCase{"uint64", "18446744073709551615", CimValue::uint(UINT64_MAX)},
        LiteralCase{"real32", "1.5", CimValue::real(1.5)},
        LiteralCase{"real64", "-2e3", CimValue::real(-2000)},
        LiteralCase{"real64", ".5", CimValue::real(0.5)},
        LiteralCase{"real64", "7", CimValue::real(7)},
        LiteralCase{"boolean", "TRUE", CimValue::boolean(true)},
        LiteralCase{"boolean", "false", CimValue::boolean(false)},
        LiteralCase{"string", "\"a\" \"b\"\n  \"c\"", s("abc")},
        LiteralCase{"string", "\"tab\\there \\\"q\\\" \\\\\"", s("tab\there \"q\" \\")},
        LiteralCase{"string", "\"\\x263A \\X00e9\"", s("\xE2\x98\xBA \xC3\xA9")},
        LiteralCase{"string", "'c'", s("c")}, LiteralCase{"string", "\"\"", s("")},
        LiteralCase{"string", "NULL", CimValue()},
        LiteralCase{"datetime", "\"20240105134501.250000+060\"", s("20240105134501.250000+060")},
        LiteralCase{"datetime", "\"00000000001500.000000:000\"", s("00000000001500.000000:000")},
        LiteralCase{"datetime", "\"2024**05134501.******+060\"", s("2024**05134501.******+060")},
        LiteralCase{"datetime", "\"20240105134501.25****+060\"", s("20240105134501.25****+060")},
        LiteralCase{"char16", "'c'", CimValue::uint('c')},
        LiteralCase{"char16", "'\\x41'", CimValue::uint(0x41)},
        LiteralCase{"char16", "\"\xC3\xA9\"", CimValue::uint(0xE9)},
        LiteralCase{"CIM_X REF", "\"CIM_X.Name=\\\"a\\\"\"", s("CIM_X.Name=\"a\"")},
        LiteralCase{"string", "\"\xE2\x82\xAC in UTF-8\"", s("\xE2\x82\xAC in UTF-8")}));

TEST(DefaultValue, Arrays) {
    auto state = compiled(R"(class A {
        uint8 bytes[] = {1, 2, 3};
        string none[] = {};
        string holes[] = {"a", NULL};
        uint16 single[] = 2;
        uint8 fixed[2] = {1, 2};
        real64 mixed[] = {1, 2.5};
        char16 chars[] = {'a', "b"};
    };)");
    auto cls = testNs(state).findClass("A");
    ASSERT_TRUE(cls);
    auto def = [&](const char* n) { return cls->property(n)->defaultValue; };
    EXPECT_TRUE(def("bytes") == arr({CimValue::uint(1), CimValue::uint(2), CimValue::uint(3)}));
    EXPECT_TRUE(def("none") == arr({}));
    EXPECT_TRUE(def("holes") == arr({s("a"), CimValue()}));
    EXPECT_TRUE(def("single") == arr({CimValue::uint(2)}));
    EXPECT_TRUE(def("fixed") == arr({CimValue::uint(1), CimValue::uint(2)}));
    EXPECT_EQ(cls->property("fixed")->type.arraySize, 2);
    EXPECT_TRUE(def("mixed") == arr({CimValue::real(1), CimValue::real(2.5)}));
    EXPECT_TRUE(def("chars") == arr({CimValue::uint('a'), CimValue::uint('b')}));
}

struct BadValueCase {
    const char* type;
    const char* literal;
    const char* message;
};

class BadDefault : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(BadDefault, FailsAtTheValue) {
    const BadValueCase& c = GetParam();
    std::string type = c.type;
    std::string suffix;
    if (type.ends_with("[]")) {
        type.resize(type.size() - 2);
        suffix = "[]";
    }
    std::string prefix = "class A {\n  " + type + " p" + suffix + " = ";
    std::string literal = c.literal;
    // The value's own position: an element of an array is pointed at itself.
    size_t mark = literal.find('^');
    int column = static_cast<int>(prefix.size() - 10) + 1;
    if (mark != std::string::npos) {
        column += static_cast<int>(mark);
        literal.erase(mark, 1);
    }
    auto f = compileError(prefix + literal + ";\n};");
    EXPECT_EQ(f.message, c.message) << c.type << " " << c.literal;
    EXPECT_EQ(f.line, 2);
    EXPECT_EQ(f.column, column) << c.type << " " << c.literal;
    EXPECT_EQ(f.code, hr::TypeMismatch);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadDefault,
    ::testing::Values(
        BadValueCase{"uint8", "256", "expected a value of type uint8 for property 'p', found 256"},
        BadValueCase{"uint8", "-1", "expected a value of type uint8 for property 'p', found -1"},
        BadValueCase{"sint8", "128", "expected a value of type sint8 for property 'p', found 128"},
        BadValueCase{
            "sint64", "-9223372036854775809",
            "expected a value of type sint64 for property 'p', found -9223372036854775809"},
        BadValueCase{"uint8", "1.5", "expected a value of type uint8 for property 'p', found 1.5"},
        BadValueCase{"boolean", "1", "expected a value of type boolean for property 'p', found 1"},
        BadValueCase{"boolean", "\"TRUE\"",
                     "expected a value of type boolean for property 'p', found \"TRUE\""},
        BadValueCase{"string", "5", "expected a value of type string for property 'p', found 5"},
        BadValueCase{"uint32", "\"5\"",
                     "expected a value of type uint32 for property 'p', found \"5\""},
        BadValueCase{"datetime", "\"2024-01-05\"",
                     "expected a value of type datetime for property 'p', found \"2024-01-05\""},
        BadValueCase{"datetime", "\"20241305134501.250000+060\"",  // month 13
                     "expected a value of type datetime for property 'p', found "
                     "\"20241305134501.250000+060\""},
        BadValueCase{"char16", "\"ab\"",
                     "expected a value of type char16 for property 'p', found \"ab\""},
        BadValueCase{"char16", "\"\"",
                     "expected a value of type char16 for property 'p', found \"\""},
        BadValueCase{"real32", "1e39",
                     "expected a value of type real32 for property 'p', found 1e39"},
        BadValueCase{"uint8", "{1, 2}",
                     "expected a value of type uint8 for property 'p', found {1, 2}"},
        BadValueCase{"uint8[]", "{1, ^300}",
                     "expected a value of type uint8 for property 'p', found 300"},
        BadValueCase{"CIM_X REF", "\"\"",
                     "expected a value of type CIM_X ref for property 'p', found \"\""},
        BadValueCase{"CIM_X REF", "5",
                     "expected a value of type CIM_X ref for property 'p', found 5"},
        BadValueCase{"uint32", "\"a very long text that goes on\"\n     \" and on and on\"",
                     "expected a value of type uint32 for property 'p', found \"a very long text "
                     "that goes on\" \" and on..."}));

TEST(BadDefault, FixedArrayTooLong) {
    auto f = compileError("class A { uint8 p[2] = {1, 2, 3}; };");
    EXPECT_EQ(f.message, "expected at most 2 values for property 'p', found 3");
    EXPECT_EQ(f.column, 24);
}

// Array properties get [] in the type: "uint8 p[]" is "uint8[]" in messages.
TEST(BadDefault, ArrayTypeIsNamed) {
    auto f = compileError("class A { uint8 p[] = {\"x\"}; };");
    EXPECT_EQ(f.message, "expected a value of type uint8 for property 'p', found \"x\"");
}

TEST(Qualifiers, TypesFlavorsAndValues) {
    auto state = compiled(R"(
        Qualifier MaxLen : uint32 = null, Scope(property, method, parameter);
        Qualifier Key : boolean = false, Scope(property, reference),
            Flavor(DisableOverride, ToSubclass);
        Qualifier Deprecated : string[], Scope(any), Flavor(Restricted);
        Qualifier Units : string = "bytes", Scope(property);
        Qualifier Description : string = null, Scope(any), Flavor(Translatable);

        [Description("d") : Amended Restricted, Deprecated{"x"}, Custom("c"), Weight(7),
         Big(5000000000), Neg(-3), Ratio(0.5), Tags{"a", "b"}, Mixed{1, 2.5}, Flag,
         Nothing(NULL), Letter('z')]
        class Q {
            [Key, MaxLen(64), Units] string Name;
            [key(false), description("lower case names find the declaration")] string NotKey;
        };)");
    const NamespaceState& ns = testNs(state);
    auto decl = ns.qualifierDecls.find("maxlen");
    ASSERT_NE(decl, ns.qualifierDecls.end());
    EXPECT_EQ(decl->second.type.type, CimType::UInt32);
    EXPECT_EQ(decl->second.scopes, scope::Property | scope::Method | scope::Parameter);
    EXPECT_TRUE(ns.qualifierDecls.at("Units").defaultValue == s("bytes"));

    auto cls = ns.findClass("Q");
    ASSERT_TRUE(cls);
    struct Expect {
        const char* name;
        CimType type;
        bool isArray;
        CimValue value;
        uint8_t flavors;
    } expected[] = {
        {"Description", CimType::String, false, s("d"),
         flavor::Translatable | flavor::Amended | flavor::Restricted},
        {"Deprecated", CimType::String, true, arr({s("x")}), flavor::Restricted},
        {"Custom", CimType::String, false, s("c"), 0},
        {"Weight", CimType::SInt32, false, CimValue::sint(7), 0},
        {"Big", CimType::SInt64, false, CimValue::sint(5000000000), 0},
        {"Neg", CimType::SInt32, false, CimValue::sint(-3), 0},
        {"Ratio", CimType::Real64, false, CimValue::real(0.5), 0},
        {"Tags", CimType::String, true, arr({s("a"), s("b")}), 0},
        {"Mixed", CimType::Real64, true, arr({CimValue::real(1), CimValue::real(2.5)}), 0},
        {"Flag", CimType::Boolean, false, CimValue::boolean(true), 0},
        {"Nothing", CimType::String, false, CimValue(), 0},
        {"Letter", CimType::Char16, false, CimValue::uint('z'), 0},
    };
    ASSERT_EQ(cls->declared->qualifiers.size(), std::size(expected));
    for (const Expect& e : expected) {
        const Qualifier* q = findQualifier(cls->declared->qualifiers, e.name);
        ASSERT_TRUE(q) << e.name;
        EXPECT_EQ(q->type, e.type) << e.name;
        EXPECT_EQ(q->isArray, e.isArray) << e.name;
        EXPECT_TRUE(q->value == e.value) << e.name;
        EXPECT_EQ(q->flavors, e.flavors) << e.name;
    }

    const PropertyDef* name = cls->property("Name");
    EXPECT_TRUE(name->isKey);
    const Qualifier* key = findQualifier(name->qualifiers, "Key");
    EXPECT_TRUE(key->value == CimValue::boolean(true));
    EXPECT_EQ(key->flavors, flavor::DisableOverride);
    const Qualifier* maxLen = findQualifier(name->qualifiers, "MaxLen");
    EXPECT_EQ(maxLen->type, CimType::UInt32);
    EXPECT_TRUE(maxLen->value == CimValue::uint(64));
    // A non-boolean qualifier named without a value takes its declared default.
    EXPECT_TRUE(findQualifier(name->qualifiers, "Units")->value == s("bytes"));
    EXPECT_FALSE(cls->property("NotKey")->isKey);
    EXPECT_EQ(findQualifier(cls->property("NotKey")->qualifiers, "description")->flavors,
              flavor::Translatable);
    EXPECT_EQ(cls->keys, std::vector<int>{cls->findProperty("Name")});
}

// A text that fails to compile and where and how it fails.
struct ErrorCase {
    std::string text;
    int line, column;
    std::string message;
    HResult code;
};

void expectErrors(const std::string& prefix, const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        auto f = compileError(prefix + c.text);
        EXPECT_EQ(f.message, c.message) << c.text;
        EXPECT_EQ(f.line, c.line) << c.text;
        EXPECT_EQ(f.column, c.column) << c.text;
        EXPECT_EQ(f.code, c.code) << c.text;
    }
}

TEST(Qualifiers, Errors) {
    const char* decls = "Qualifier MaxLen : uint32 = null, Scope(property);\n";
    const std::vector<ErrorCase> cases = {
        {"class A { [MaxLen(\"x\")] string s; };", 2, 19,
         "expected a value of type uint32 for qualifier 'MaxLen', found \"x\"", hr::TypeMismatch},
        {"class A { [MaxLen(-1)] string s; };", 2, 19,
         "expected a value of type uint32 for qualifier 'MaxLen', found -1", hr::TypeMismatch},
        {"class A { [MaxLen{1, 2}] string s; };", 2, 18,
         "expected a value of type uint32 for qualifier 'MaxLen', found {1, 2}", hr::TypeMismatch},
        {"[Description(\"a\"), DESCRIPTION(\"b\")] class A { };", 2, 20,
         "qualifier 'DESCRIPTION' is given twice", hr::Failed},
        {"Qualifier Q : uint8 = 300, Scope(any);", 2, 23,
         "expected a value of type uint8 for qualifier 'Q', found 300", hr::TypeMismatch},
        {"[Mixed{\"a\", 1}] class A { };", 2, 13,
         "expected a value of type string for qualifier 'Mixed', found 1", hr::TypeMismatch},
    };
    expectErrors(decls, cases);
}

TEST(Classes, MethodsAndParameters) {
    auto state = compiled(R"(
        class CIM_Job { [Key] string Id; };
        class Svc {
            [Static] uint32 Run([IN] string Cmd, [IN(false), OUT] CIM_Job REF Job,
                                [IN, OUT] uint16 Codes[], string Plain,
                                [OUT] Win32_Startup Info, [Out(false)] sint8 Small = 5);
            string Name();
            CIM_Job REF Current();
        };)");
    auto cls = testNs(state).findClass("Svc");
    ASSERT_TRUE(cls);
    ASSERT_EQ(cls->methods.size(), 3u);
    const MethodDef* run = cls->findMethod("run");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->returnType, CimType::UInt32);
    EXPECT_EQ(run->classOrigin, "Svc");
    EXPECT_TRUE(hasTrueQualifier(run->qualifiers, "Static"));
    struct P {
        const char* name;
        CimType type;
        bool isArray;
        const char* refClass;
        bool in, out;
    } expected[] = {
        {"Cmd", CimType::String, false, "", true, false},
        {"Job", CimType::Reference, false, "CIM_Job", false, true},
        {"Codes", CimType::UInt16, true, "", true, true},
        {"Plain", CimType::String, false, "", true, false},
        {"Info", CimType::Object, false, "Win32_Startup", false, true},
        {"Small", CimType::SInt8, false, "", true, false},
    };
    ASSERT_EQ(run->parameters.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ParameterDef& p = run->parameters[i];
        EXPECT_EQ(p.name, expected[i].name);
        EXPECT_EQ(p.type.type, expected[i].type) << p.name;
        EXPECT_EQ(p.type.isArray, expected[i].isArray) << p.name;
        EXPECT_EQ(p.type.refClass, expected[i].refClass) << p.name;
        EXPECT_EQ(p.in, expected[i].in) << p.name;
        EXPECT_EQ(p.out, expected[i].out) << p.name;
    }
    EXPECT_EQ(cls->findMethod("Name")->returnType, CimType::String);
    EXPECT_EQ(cls->findMethod("Current")->returnType, CimType::Reference);
}

TEST(Classes, InheritanceAndOrigins) {
    auto state = compiled(R"(
        [Abstract] class Base { [Key] string Id; string Caption = "base"; uint32 Ping(); };
        class Derived : Base { string Caption = "derived"; string Extra; };
        [Association] class Link { [Key] Base REF A; [Key] Base REF B; };
        [Indication] class Event { };)");
    const NamespaceState& ns = testNs(state);
    auto base = ns.findClass("Base");
    auto derived = ns.findClass("derived");
    ASSERT_TRUE(base && derived);
    EXPECT_TRUE(base->isAbstract);
    EXPECT_FALSE(derived->isAbstract);
    EXPECT_EQ(derived->superclass, "Base");
    EXPECT_EQ(derived->derivation, std::vector<std::string>{"Base"});
    ASSERT_EQ(derived->properties.size(), 3u);
    EXPECT_EQ(derived->property("Caption")->classOrigin, "Base");
    EXPECT_TRUE(derived->property("Caption")->defaultValue == s("derived"));
    EXPECT_EQ(derived->property("Extra")->classOrigin, "Derived");
    EXPECT_TRUE(derived->property("Id")->isKey);
    EXPECT_EQ(derived->findMethod("Ping")->classOrigin, "Base");
    EXPECT_EQ(base->property("Id")->classOrigin, "Base");

    auto link = ns.findClass("Link");
    EXPECT_TRUE(link->association);
    EXPECT_EQ(link->keys.size(), 2u);
    EXPECT_EQ(link->property("A")->type.type, CimType::Reference);
    EXPECT_EQ(link->property("A")->type.refClass, "Base");
    EXPECT_TRUE(ns.findClass("Event")->indication);
}

TEST(Classes, RedeclaredClassReplacesTheOld) {
    auto state = compiled("class A { string One; };\nclass B : A { };\nclass A { string Two; };");
    auto b = testNs(state).findClass("B");
    EXPECT_TRUE(b->property("Two"));
    EXPECT_FALSE(b->property("One"));
}

TEST(Classes, Errors) {
    const std::vector<ErrorCase> cases = {
        {"class A : Missing { };", 1, 11, "unknown superclass 'Missing' of class 'A'",
         hr::InvalidSuperclass},
        {"class A { };\nclass B : A { };\nclass A : B { };", 3, 7,
         "cannot add class 'A': Invalid superclass", hr::InvalidSuperclass},
        {"class A { string x; uint8 X; };", 1, 27, "'X' is declared twice in class 'A'",
         hr::Failed},
        {"class A { string x; uint32 x(); };", 1, 28, "'x' is declared twice in class 'A'",
         hr::Failed},
        {"class A { uint32 M(string a, uint8 A); };", 1, 36,
         "parameter 'A' is declared twice in method 'M'", hr::Failed},
        {"class A { Part p = instance of Part { }; };", 1, 32, "unknown class 'Part'",
         hr::InvalidClass},
    };
    expectErrors("", cases);
}

}  // namespace
}  // namespace wbem::mof
