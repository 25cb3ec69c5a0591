// How the remote back ends send a method's in-arguments: by the method's
// declaration, arrays as their elements, everything else as its text.
#include <gtest/gtest.h>

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
        bool array;
        std::vector<std::string> elements;
    } cases[] = {
        {"array", &declared, "IPAddress", "10.0.0.5\n10.0.0.6", true, {"10.0.0.5", "10.0.0.6"}},
        {"name in other case, CR LF lines, last line ended",
         &declared,
         "subnetmask",
         "255.0.0.0\r\n255.255.0.0\r\n",
         true,
         {"255.0.0.0", "255.255.0.0"}},
        {"one element", &declared, "IPAddress", "10.0.0.5", true, {"10.0.0.5"}},
        {"empty array", &declared, "IPAddress", "", true, {}},
        {"an empty line is an empty element",
         &declared,
         "IPAddress",
         "a\n\nb",
         true,
         {"a", "", "b"}},
        {"scalar keeps its line breaks", &declared, "Note", "two\nlines", false, {"two\nlines"}},
        {"an out-array is no in-argument", &declared, "Results", "x\ny", false, {"x\ny"}},
        {"undeclared name", &declared, "Other", "x\ny", false, {"x\ny"}},
        {"no declaration",
         nullptr,
         "IPAddress",
         "10.0.0.5\n10.0.0.6",
         false,
         {"10.0.0.5\n10.0.0.6"}},
    };
    for (const auto& c : cases) {
        const auto args = methodArguments(c.declared, {{c.name, c.text}});
        ASSERT_EQ(args.size(), 1u) << c.what;
        EXPECT_EQ(args[0].name, c.name) << c.what;
        EXPECT_EQ(args[0].array, c.array) << c.what;
        EXPECT_EQ(args[0].elements, c.elements) << c.what;
    }
    // Several arguments keep their order.
    const auto args = methodArguments(&declared, {{"Note", "n"}, {"IPAddress", "a\nb"}});
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].name, "Note");
    EXPECT_EQ(args[1].elements, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
