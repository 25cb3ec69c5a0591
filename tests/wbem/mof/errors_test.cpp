// The errors a MOF author meets most, as they read them; and that a failed
// compile leaves nothing behind.
#include <gtest/gtest.h>

#include "mof_test_util.h"

namespace wbem::mof {
namespace {

using testing::compileError;

TEST(Errors, ReadAsFileLineColumnAndCause) {
    std::map<std::string, std::string> files = {
        {"Core/CIM_Foo.mof",
         "// A class with a slip in it.\n"
         "class CIM_Foo {\n"
         "    string Name\n"
         "};\n"},
        {"Core/CIM_Bar.mof", "class CIM_Bar { };\n#pragma include (\"CIM_Nope.mof\")\n"},
    };
    struct Case {
        std::string text;
        std::string what;
        HResult code;
    } cases[] = {
        {"class A {\n  string s = \"abc;\n};",
         "test.mof(2,14): unterminated string (missing '\"' before the end of the line)",
         hr::Failed},
        {"class A {\n  string s\n};",
         "test.mof(3,1): expected ';' after property declaration, found '}'", hr::Failed},
        {"#pragma include(\"Core/CIM_Foo.mof\")",
         "Core/CIM_Foo.mof(4,1): expected ';' after property declaration, found '}'", hr::Failed},
        {"class A : CIM_Missing {\n};",
         "test.mof(1,11): unknown superclass 'CIM_Missing' of class 'A'", hr::InvalidSuperclass},
        {"class A {\n  uint8 Small = 300;\n};",
         "test.mof(2,17): expected a value of type uint8 for property 'Small', found 300",
         hr::TypeMismatch},
        {"class A {\n  boolean On = \"yes\";\n};",
         "test.mof(2,16): expected a value of type boolean for property 'On', found \"yes\"",
         hr::TypeMismatch},
        {"\n#pragma include(\"Core/CIM_Bar.mof\")",
         "Core/CIM_Bar.mof(2,1): cannot open include file 'Core/CIM_Nope.mof'", hr::Failed},
        {"  #pragma include(\"CIM_Gone.mof\")",
         "test.mof(1,3): cannot open include file 'CIM_Gone.mof'", hr::Failed},
    };
    for (const Case& c : cases) {
        auto f = compileError(c.text, files);
        EXPECT_EQ(f.what, c.what) << c.text;
        EXPECT_EQ(f.code, c.code) << c.text;
    }
}

// A compile that fails leaves the committed state as it was; the caller
// drops the transaction.
TEST(Errors, NothingIsHalfLoaded) {
    Repository repo;
    {
        Repository::Transaction tx(repo);
        tx.ns(testing::kTestNamespace, true);
        compileText(tx, "class Kept { };", "ok.mof", testing::testOptions());
        tx.commit();
    }
    const auto before = repo.snapshot();
    const char* bad[] = {
        // fails while applying, after two classes went into the transaction
        "class A { };\nclass B : A { };\nclass C : Missing { };",
        // fails while parsing the last include
        "class A { };\n#pragma namespace(\"new\")\nclass N { };\n#pragma include(\"broken.mof\")",
        // fails on an instance, after its class
        "class K { [Key] string k; };\ninstance of K { k = 5; };",
    };
    for (const char* text : bad) {
        {
            Repository::Transaction tx(repo);
            EXPECT_THROW(compileText(tx, text, "bad.mof",
                                     testing::testOptions({{"broken.mof", "class X { "}})),
                         MofError);
        }
        auto after = repo.snapshot();
        EXPECT_EQ(after, before) << text;
        EXPECT_EQ(after->namespaces.size(), before->namespaces.size()) << text;
        EXPECT_FALSE(after->find(testing::kTestNamespace)->findClass("A")) << text;
        EXPECT_TRUE(after->find(testing::kTestNamespace)->findClass("Kept")) << text;
    }
}

// The whole input is parsed before any of it is applied: a syntax error at
// the end leaves even the transaction untouched.
TEST(Errors, ParsedBeforeApplied) {
    Repository repo;
    Repository::Transaction tx(repo);
    tx.ns(testing::kTestNamespace, true);
    EXPECT_THROW(compileText(tx, "class A { };\n#pragma namespace(\"n2\")\nclass B { ", "bad.mof",
                             testing::testOptions()),
                 MofError);
    EXPECT_FALSE(tx.ns(testing::kTestNamespace, false).findClass("A"));
    EXPECT_FALSE(tx.hasNamespace("root\\test\\n2"));
}

}  // namespace
}  // namespace wbem::mof
