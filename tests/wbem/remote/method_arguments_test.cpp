// How the remote back ends send a method's in-arguments: by the method's
// declaration, under its names, arrays as their elements, everything else as
// its text.
#include <gtest/gtest.h>

#include "wbem/errors.h"
#include "wbem/remote/remote_services.h"

namespace {

using wbem::remote::methodArguments;

wbem::MethodDef enableStatic() {
    wbem::MethodDef m;
    m.name = "EnableStatic";
    auto param = [](const char* name, bool array, bool in, bool out) {
        wbem::ParameterDef p;
        p.name = name;
        p.type.type = wbem::CimType::String;
        p.type.isArray = array;
        p.in = in;
        p.out = out;
        return p;
    };
    m.parameters = {param("IPAddress", true, true, false), param("SubnetMask", true, true, false),
                    param("Note", false, true, false), param("Results", true, false, true)};
    return m;
}

TEST(MethodArguments, DeclaredArraysGoAsTheirLinesAndTheRestAsText) {
    const wbem::MethodDef declared = enableStatic();
    const struct {
        const char* what;
        const wbem::MethodDef* declared;
        std::string name, text;
        std::string sentAs;
        bool array;
        std::vector<std::string> elements;
    } cases[] = {
        {"array",
         &declared,
         "IPAddress",
         "10.0.0.5\n10.0.0.6",
         "IPAddress",
         true,
         {"10.0.0.5", "10.0.0.6"}},
        {"name in other case, CR LF lines, last line ended",
         &declared,
         " subnetmask\t",
         "255.0.0.0\r\n255.255.0.0\r\n",
         "SubnetMask",
         true,
         {"255.0.0.0", "255.255.0.0"}},
        {"one element", &declared, "IPAddress", "10.0.0.5", "IPAddress", true, {"10.0.0.5"}},
        {"empty array", &declared, "IPAddress", "", "IPAddress", true, {}},
        {"an empty line is an empty element",
         &declared,
         "IPAddress",
         "a\n\nb",
         "IPAddress",
         true,
         {"a", "", "b"}},
        {"scalar keeps its line breaks",
         &declared,
         "Note",
         "two\nlines",
         "Note",
         false,
         {"two\nlines"}},
        {"no declaration",
         nullptr,
         " IPAddress ",
         "10.0.0.5\n10.0.0.6",
         "IPAddress",
         false,
         {"10.0.0.5\n10.0.0.6"}},
    };
    for (const auto& c : cases) {
        const auto args = methodArguments(c.declared, {{c.name, c.text}});
        ASSERT_EQ(args.size(), 1u) << c.what;
        EXPECT_EQ(args[0].name, c.sentAs) << c.what;
        EXPECT_EQ(args[0].array, c.array) << c.what;
        EXPECT_EQ(args[0].elements, c.elements) << c.what;
    }
    // Several arguments keep their order.
    const auto args = methodArguments(&declared, {{"Note", "n"}, {"IPAddress", "a\nb"}});
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].name, "Note");
    EXPECT_EQ(args[1].elements, (std::vector<std::string>{"a", "b"}));
}

TEST(MethodArguments, NamesTheDeclarationLacksOrGivenTwiceAreRefused) {
    const wbem::MethodDef declared = enableStatic();
    const struct {
        const char* what;
        const wbem::MethodDef* declared;
        std::vector<std::pair<std::string, std::string>> given;
        const char* says;
    } cases[] = {
        {"undeclared name", &declared, {{"Other", "x"}}, "EnableStatic has no in-parameter Other"},
        {"an out-parameter", &declared, {{"Results", "x"}}, "no in-parameter Results"},
        {"twice, once in other case",
         &declared,
         {{"Note", "a"}, {" NOTE", "b"}},
         "Note is given twice"},
        {"twice without a declaration", nullptr, {{"A", "1"}, {"a ", "2"}}, "a is given twice"},
    };
    for (const auto& c : cases) {
        try {
            methodArguments(c.declared, c.given);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const wbem::WbemError& e) {
            EXPECT_EQ(e.code(), wbem::hr::InvalidParameter) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

}  // namespace
