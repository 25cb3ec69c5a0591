#include "wbem/mof/parser.h"

#include <gtest/gtest.h>

#include "mof_test_util.h"
#include "wbem/mof/builder.h"

namespace wbem::mof {
namespace {

using testing::memoryLoader;

struct Parsed {
    explicit Parsed(std::map<std::string, std::string> files = {})
        : sources(memoryLoader(std::move(files))) {}
    SourceSet sources;
    std::vector<Declaration> decls;

    template <class T>
    const T& at(size_t i) const {
        return std::get<T>(decls.at(i));
    }
};

std::unique_ptr<Parsed> parse(std::string_view text, std::map<std::string, std::string> files = {},
                              const std::string& name = "test.mof") {
    auto p = std::make_unique<Parsed>(std::move(files));
    uint32_t root = p->sources.add(name, std::string(text));
    p->decls = parseSources(p->sources, root);
    return p;
}

TEST(Parser, ClassWithEveryKindOfFeature) {
    auto p = parse(R"(
        [Abstract, Description("A thing" " of note") : ToSubclass Amended, Values{"a", "b"}]
        class CIM_Thing : CIM_Base {
            [Key] string Name;
            uint8 Bytes[] = {1, 2};
            sint16 Fixed[4];
            CIM_Other REF Peer;
            Win32_Startup Info;
            object Anything;
            real64 Ratio = -2.5;
            [Static] uint32 Run([IN] string Cmd, [IN(false), OUT] CIM_Job REF Job,
                                [OUT] uint16 Codes[], char16 C);
            datetime When();
        };)");
    ASSERT_EQ(p->decls.size(), 1u);
    const ClassAst& c = p->at<ClassAst>(0);
    EXPECT_EQ(c.name, "CIM_Thing");
    EXPECT_EQ(c.superclass, "CIM_Base");
    ASSERT_EQ(c.qualifiers.size(), 3u);
    EXPECT_EQ(c.qualifiers[0].name, "Abstract");
    EXPECT_FALSE(c.qualifiers[0].value.has_value());
    EXPECT_EQ(c.qualifiers[1].value->text, "A thing of note");
    EXPECT_EQ(c.qualifiers[1].flavors.set, flavor::Amended);
    EXPECT_EQ(c.qualifiers[1].flavors.clear, flavor::Restricted);
    ASSERT_EQ(c.qualifiers[2].value->kind, ValueAst::Kind::Array);
    EXPECT_EQ(c.qualifiers[2].value->elements.size(), 2u);

    ASSERT_EQ(c.properties.size(), 7u);
    EXPECT_EQ(c.properties[0].type.type, CimType::String);
    EXPECT_EQ(c.properties[0].qualifiers[0].name, "Key");
    EXPECT_TRUE(c.properties[1].type.isArray);
    EXPECT_EQ(c.properties[1].type.arraySize, -1);
    EXPECT_EQ(c.properties[1].defaultValue->elements.size(), 2u);
    EXPECT_EQ(c.properties[2].type.arraySize, 4);
    EXPECT_EQ(c.properties[3].type.type, CimType::Reference);
    EXPECT_EQ(c.properties[3].type.refClass, "CIM_Other");
    EXPECT_EQ(c.properties[4].type.type, CimType::Object);
    EXPECT_EQ(c.properties[4].type.refClass, "Win32_Startup");
    EXPECT_EQ(c.properties[5].type.type, CimType::Object);
    EXPECT_EQ(c.properties[5].type.refClass, "");
    EXPECT_EQ(c.properties[6].defaultValue->real, -2.5);

    ASSERT_EQ(c.methods.size(), 2u);
    const MethodAst& run = c.methods[0];
    EXPECT_EQ(run.name, "Run");
    EXPECT_EQ(run.returnType.type, CimType::UInt32);
    ASSERT_EQ(run.parameters.size(), 4u);
    EXPECT_EQ(run.parameters[1].type.type, CimType::Reference);
    EXPECT_EQ(run.parameters[1].type.refClass, "CIM_Job");
    EXPECT_EQ(run.parameters[1].qualifiers[0].value->boolean, false);
    EXPECT_TRUE(run.parameters[2].type.isArray);
    EXPECT_EQ(run.parameters[3].type.type, CimType::Char16);
    EXPECT_EQ(c.methods[1].returnType.type, CimType::DateTime);
    EXPECT_TRUE(c.methods[1].parameters.empty());
}

TEST(Parser, KeywordsIgnoreCase) {
    auto p = parse(R"(
        QUALIFIER Key : BOOLEAN = False, SCOPE(Property, REFERENCE), FLAVOR(DisableOverride);
        CLASS A { STRING s = NULL; Boolean b = TRUE; };
        Instance OF A AS $x { s = "v"; };)");
    ASSERT_EQ(p->decls.size(), 3u);
    const QualifierDeclAst& q = p->at<QualifierDeclAst>(0);
    EXPECT_EQ(q.type.type, CimType::Boolean);
    EXPECT_EQ(q.scopes, scope::Property | scope::Reference);
    EXPECT_EQ(q.flavors, flavor::DisableOverride);
    EXPECT_EQ(q.defaultValue->kind, ValueAst::Kind::Bool);
    const ClassAst& c = p->at<ClassAst>(1);
    EXPECT_EQ(c.properties[0].defaultValue->kind, ValueAst::Kind::Null);
    EXPECT_TRUE(c.properties[1].defaultValue->boolean);
    EXPECT_EQ(p->at<InstanceAst>(2).alias, "x");
}

TEST(Parser, QualifierDeclarations) {
    auto p = parse(R"(
        Qualifier Values : string[], Scope(property, method, parameter),
            Flavor(EnableOverride, ToSubclass, Translatable);
        qualifier Max : uint32 = null, Scope(reference);
        qualifier Any : sint32[4] = {1, 2};
        qualifier Hidden : boolean = false, Flavor(Restricted, ToInstance), Scope(class);)");
    ASSERT_EQ(p->decls.size(), 4u);
    const auto& values = p->at<QualifierDeclAst>(0);
    EXPECT_TRUE(values.type.isArray);
    EXPECT_EQ(values.scopes, scope::Property | scope::Method | scope::Parameter);
    EXPECT_EQ(values.flavors, flavor::Translatable);
    EXPECT_FALSE(values.defaultValue.has_value());
    EXPECT_EQ(p->at<QualifierDeclAst>(1).scopes, scope::Reference);
    EXPECT_EQ(p->at<QualifierDeclAst>(2).scopes, scope::Any);  // no Scope: anywhere
    EXPECT_EQ(p->at<QualifierDeclAst>(2).type.arraySize, 4);
    EXPECT_EQ(p->at<QualifierDeclAst>(3).flavors, flavor::Restricted | flavor::ToInstance);
    EXPECT_EQ(p->at<QualifierDeclAst>(3).scopes, scope::Class);
}

TEST(Parser, AssociationAndIndicationKeywords) {
    auto p = parse(
        "association A { X REF a; };\n[Association] association B { };\n"
        "indication E { };");
    ASSERT_EQ(p->decls.size(), 3u);
    ASSERT_EQ(p->at<ClassAst>(0).qualifiers.size(), 1u);
    EXPECT_EQ(p->at<ClassAst>(0).qualifiers[0].name, "Association");
    EXPECT_EQ(p->at<ClassAst>(1).qualifiers.size(), 1u);  // not added twice
    EXPECT_EQ(p->at<ClassAst>(2).qualifiers[0].name, "Indication");
}

TEST(Parser, InstancesWithAliasesAndEmbeddedObjects) {
    auto p = parse(R"(
        [Locale(1033)] instance of Thing as $T1 {
            [Key] Name = "one";
            Peer = $T2;
            Peers = {$T2, $T1};
            Blob = instance of Part { Size = 4; Inner = instance of Part { Size = 5; }; };
            Blobs = {instance of Part { }, NULL};
        };)");
    ASSERT_EQ(p->decls.size(), 1u);
    const InstanceAst& inst = p->at<InstanceAst>(0);
    EXPECT_EQ(inst.className, "Thing");
    EXPECT_EQ(inst.alias, "T1");
    ASSERT_EQ(inst.assignments.size(), 5u);
    EXPECT_EQ(inst.assignments[1].value.kind, ValueAst::Kind::Alias);
    EXPECT_EQ(inst.assignments[1].value.text, "T2");
    EXPECT_EQ(inst.assignments[2].value.elements[1].text, "T1");
    const ValueAst& blob = inst.assignments[3].value;
    ASSERT_EQ(blob.kind, ValueAst::Kind::Instance);
    EXPECT_EQ(blob.instance->className, "Part");
    EXPECT_EQ(blob.instance->assignments[1].value.instance->assignments[0].value.magnitude, 5u);
    EXPECT_EQ(inst.assignments[4].value.elements[0].kind, ValueAst::Kind::Instance);
    std::vector<const ValueAst*> aliases;
    for (const auto& a : inst.assignments) collectAliases(a.value, aliases);
    EXPECT_EQ(aliases.size(), 3u);
}

TEST(Parser, PragmasAndIncludesInPlace) {
    auto p = parse(
        "#pragma locale(\"en_US\")\n"
        "#pragma include(\"Core/a.mof\")\n"
        "class Last { };\n"
        "#pragma deleteclass(\"X\", NOFAIL)\n"
        "#pragma autorecover\n",
        {{"dir/Core/a.mof", "class A { };\n#pragma include (\"sub\\\\b.mof\")\nclass C { };"},
         {"dir/Core/sub/b.mof", "#pragma namespace(\"\\\\\\\\.\\\\root\\\\x\")\nclass B { };"}},
        "dir/root.mof");
    std::vector<std::string> order;
    for (const Declaration& d : p->decls) {
        if (auto* c = std::get_if<ClassAst>(&d)) order.push_back(std::string(c->name));
        if (auto* pr = std::get_if<PragmaAst>(&d)) order.push_back("#" + std::string(pr->name));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"#locale", "A", "#namespace", "B", "C", "Last",
                                               "#deleteclass", "#autorecover"}));
    const PragmaAst& ns = p->at<PragmaAst>(2);
    EXPECT_EQ(ns.args[0].text, "\\\\.\\root\\x");
    const PragmaAst& del = p->at<PragmaAst>(6);
    ASSERT_EQ(del.args.size(), 2u);
    EXPECT_EQ(del.args[1].kind, ValueAst::Kind::Identifier);
    EXPECT_EQ(del.args[1].text, "NOFAIL");
    // Positions point into the file they came from.
    EXPECT_EQ(p->sources.locate(p->at<ClassAst>(3).namePos).file, "dir/Core/sub/b.mof");
    EXPECT_EQ(p->sources.locate(p->at<ClassAst>(4).namePos).line, 3);
}

TEST(Parser, IncludeFailures) {
    struct Case {
        std::map<std::string, std::string> files;
        std::string where;
        int line, column;
        std::string message;
    } cases[] = {
        {{}, "test.mof", 2, 1, "cannot open include file 'missing.mof'"},
        {{{"missing.mof", "#pragma include(\"test.mof\")"}},
         "missing.mof",
         1,
         1,
         "include cycle: 'test.mof' is already being read"},
        {{{"missing.mof", "#pragma include(\"./missing.mof\")"}},
         "missing.mof",
         1,
         1,
         "include cycle: 'missing.mof' is already being read"},
        {{{"missing.mof", "class X { string s }"}},
         "missing.mof",
         1,
         20,
         "expected ';' after property declaration, found '}'"},
    };
    for (const Case& c : cases) {
        try {
            parse("class A { };\n#pragma include(\"missing.mof\")\n", c.files);
            ADD_FAILURE() << "no error: " << c.message;
        } catch (const MofError& e) {
            EXPECT_EQ(e.message(), c.message);
            EXPECT_EQ(e.file(), c.where) << c.message;
            EXPECT_EQ(e.line(), c.line) << c.message;
            EXPECT_EQ(e.column(), c.column) << c.message;
        }
    }
}

TEST(Parser, IncludeDepthIsBounded) {
    std::map<std::string, std::string> files;
    files["f0.mof"] = "#pragma include(\"f0.mof\")";  // replaced below
    for (int i = 0; i < 100; ++i) {
        files["f" + std::to_string(i) + ".mof"] =
            "#pragma include(\"f" + std::to_string(i + 1) + ".mof\")";
    }
    try {
        parse("#pragma include(\"f0.mof\")", files);
        FAIL() << "no error";
    } catch (const MofError& e) {
        EXPECT_EQ(e.message(), "includes nested deeper than 64 files");
    }
}

struct SyntaxCase {
    const char* text;
    int line;
    int column;
    const char* message;
};

class SyntaxError : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(SyntaxError, ReportsWhatWasExpected) {
    const SyntaxCase& c = GetParam();
    try {
        parse(c.text);
        FAIL() << "no error for " << c.text;
    } catch (const MofError& e) {
        EXPECT_EQ(e.message(), c.message) << c.text;
        EXPECT_EQ(e.line(), c.line) << c.text;
        EXPECT_EQ(e.column(), c.column) << c.text;
        EXPECT_EQ(std::string(e.what()), "test.mof(" + std::to_string(c.line) + "," +
                                             std::to_string(c.column) + "): " + c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyntaxError,
    ::testing::Values(
        SyntaxCase{"class A {\n    string s\n};", 3, 1,
                   "expected ';' after property declaration, found '}'"},
        SyntaxCase{"class A { string s; }\nclass B { };", 2, 1,
                   "expected ';' after the class declaration, found 'class'"},
        SyntaxCase{"class A { string s;", 1, 20,
                   "expected '}' to close the class, found end of file"},
        SyntaxCase{"class A string s; };", 1, 9,
                   "expected ':' or '{' after the class name, found 'string'"},
        SyntaxCase{"class : B { };", 1, 7, "expected a class name after 'class', found ':'"},
        SyntaxCase{"class A { [Key string s; };", 1, 16,
                   "expected ',' or ']' in the qualifier list, found 'string'"},
        SyntaxCase{"class A { 5 s; };", 1, 11, "expected a type or '}', found number 5"},
        SyntaxCase{"class A { string; };", 1, 17,
                   "expected a property or method name after the type, found ';'"},
        SyntaxCase{"class A { uint32 M(string a b); };", 1, 29,
                   "expected ',' or ')' after parameter, found 'b'"},
        SyntaxCase{"class A { uint32 M() };", 1, 22,
                   "expected ';' after method declaration, found '}'"},
        SyntaxCase{"class A { void M(); };", 1, 11,
                   "methods without a return value (void) are not supported"},
        SyntaxCase{"class A { uint8 a[0]; };", 1, 19, "array size must be a positive number"},
        SyntaxCase{"class A { uint8 a[] = {{1}}; };", 1, 24, "arrays cannot contain arrays"},
        SyntaxCase{"class A { uint8 a[] = {1 2}; };", 1, 26,
                   "expected ',' or '}' in the array value, found number 2"},
        SyntaxCase{"class A { string s = ; };", 1, 22, "expected a value, found ';'"},
        SyntaxCase{"[Description($x)] class A { };", 1, 14,
                   "expected a constant value, found alias '$x'"},
        SyntaxCase{"[Description(\"x\" : ToSubclass)] class A { };", 1, 18,
                   "expected ')' after the qualifier's value, found ':'"},
        SyntaxCase{"[Read : Sometimes] class A { };", 1, 9,
                   "expected a flavor (EnableOverride, DisableOverride, ToSubclass, Restricted, "
                   "ToInstance, Translatable or Amended) after ':', found 'Sometimes'"},
        SyntaxCase{"instance A { };", 1, 10, "expected 'of' after 'instance', found 'A'"},
        SyntaxCase{"instance of A as B { };", 1, 18,
                   "expected an alias ($name) after 'as', found 'B'"},
        SyntaxCase{"instance of A { x = 1 };", 1, 23,
                   "expected ';' after the property value, found '}'"},
        SyntaxCase{"instance of A { x = 1; }", 1, 25,
                   "expected ';' after the instance declaration, found end of file"},
        SyntaxCase{"instance of A { x = instance of B as $b { }; };", 1, 38,
                   "an embedded object cannot have an alias"},
        SyntaxCase{"qualifier Q : boolean, Scope(nowhere);", 1, 30,
                   "expected a scope (class, association, indication, property, reference, "
                   "method, parameter, qualifier or any), found 'nowhere'"},
        SyntaxCase{"qualifier Q : CIM_X;", 1, 15,
                   "expected a type of the qualifier, found 'CIM_X'"},
        SyntaxCase{"qualifier Q : boolean, Scope(any), Scope(any);", 1, 36,
                   "expected 'Flavor' in the qualifier declaration, found 'Scope'"},
        SyntaxCase{"[Key] qualifier Q : boolean;", 1, 7,
                   "expected 'class' or 'instance' after the qualifier list, found 'qualifier'"},
        SyntaxCase{"property x;", 1, 1,
                   "expected 'class', 'instance', 'qualifier' or '#pragma', found 'property'"},
        SyntaxCase{"#include \"x\"", 1, 2, "expected 'pragma' after '#', found 'include'"},
        SyntaxCase{"#pragma include(xmof)", 1, 1,
                   "expected a file name as a string in #pragma include"},
        SyntaxCase{"#pragma namespace(\"a\"", 1, 22,
                   "expected ')' after the pragma's arguments, found end of file"}));

TEST(Parser, EmbeddedObjectNestingIsBounded) {
    std::string text = "instance of A { p = ";
    for (int i = 0; i < 40; ++i) text += "instance of A { p = ";
    try {
        parse(text);
        FAIL() << "no error";
    } catch (const MofError& e) {
        EXPECT_EQ(e.message(), "embedded objects nested deeper than 32 levels");
    }
}

}  // namespace
}  // namespace wbem::mof
