// Instances: values, aliases, embedded objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mof_test_util.h"

namespace wbem::mof {
namespace {

using testing::compiled;
using testing::compileError;
using testing::testNs;

const char* kClasses = R"(
    class Node { [Key] string Name; Node REF Next; uint32 Size = 9; Node REF Others[]; };
    class Edge { [Key] Node REF From; [Key] Node REF To; };
    class Holder { [Key] uint32 Id; Edge REF Link; };
    class Free { string s; };
    [Abstract] class Abs { [Key] string K; };
    class Part { string Label; uint32 Size; };
    class SubPart : Part { };
    class Other { };
    class Box { [Key] string Id; Part Content; object Any; Part Many[]; };
)";

std::vector<std::shared_ptr<const Instance>> instancesOf(const NamespaceState& ns,
                                                         const char* cls) {
    auto it = ns.instances.find(cls);
    return it == ns.instances.end() ? std::vector<std::shared_ptr<const Instance>>{} : it->second;
}

std::shared_ptr<const Instance> byKey(const NamespaceState& ns, const char* cls,
                                      const std::string& rel) {
    for (const auto& i : instancesOf(ns, cls))
        if (relPathOf(*i) == rel) return i;
    return nullptr;
}

TEST(Instances, ValuesDefaultsAndAliasesInAnyOrder) {
    auto state = compiled(std::string(kClasses) + R"(
        instance of Edge { From = $a; To = $b; };            // used before defined
        instance of Node as $a { Name = "a"; Next = $b; Size = 1; };
        instance of Node as $b { Name = "b"; Next = $a; Others = {$a, $b}; };
        instance of Edge as $e { From = $b; To = $a; };
        instance of Holder { Id = 7; Link = $e; };            // keys that are aliases themselves
    )");
    const NamespaceState& ns = testNs(state);
    auto a = byKey(ns, "Node", "Node.Name=\"a\"");
    auto b = byKey(ns, "Node", "Node.Name=\"b\"");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(*a->find("Next") == CimValue::string("Node.Name=\"b\""));
    EXPECT_TRUE(*a->find("Size") == CimValue::uint(1));
    EXPECT_TRUE(*b->find("Size") == CimValue::uint(9));  // class default
    EXPECT_TRUE(*b->find("Others") == CimValue::array({CimValue::string("Node.Name=\"a\""),
                                                       CimValue::string("Node.Name=\"b\"")}));
    auto edges = instancesOf(ns, "Edge");
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_TRUE(*edges[0]->find("From") == CimValue::string("Node.Name=\"a\""));
    auto holders = instancesOf(ns, "Holder");
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_TRUE(*holders[0]->find("Link") == CimValue::string(relPathOf(*edges[1])));
    EXPECT_EQ(relPathOf(*edges[1]), "Edge.From=\"Node.Name=\\\"b\\\"\",To=\"Node.Name=\\\"a\\\"\"");
}

TEST(Instances, AliasAcrossNamespacesIsAFullPath) {
    auto state = compiled(R"(
        #pragma namespace("other")
        class T { [Key] string K; };
        instance of T as $t { K = "k"; };
        #pragma namespace("\\\\.\\root\\test")
        class U { [Key] string K; T REF R; };
        instance of U { K = "u"; R = $t; };
    )");
    auto u = instancesOf(testNs(state), "U");
    ASSERT_EQ(u.size(), 1u);
    EXPECT_TRUE(*u[0]->find("R") == CimValue::string("\\\\.\\root\\test\\other:T.K=\"k\""));
}

TEST(Instances, EmbeddedObjects) {
    auto state = compiled(std::string(kClasses) + R"(
        instance of Box {
            Id = "b1";
            Content = instance of SubPart { Label = "x"; Size = 3; };
            Any = instance of Other { };
            Many = {instance of Part { Size = 1; }, instance of Part { Size = 2; }};
        };)");
    auto boxes = instancesOf(testNs(state), "Box");
    ASSERT_EQ(boxes.size(), 1u);
    const CimValue& content = *boxes[0]->find("Content");
    ASSERT_EQ(content.kind(), CimValue::Kind::Object);
    EXPECT_EQ(content.asObject()->cls().name, "SubPart");
    EXPECT_TRUE(*content.asObject()->find("Size") == CimValue::uint(3));
    EXPECT_EQ(boxes[0]->find("Any")->asObject()->cls().name, "Other");
    const CimValue& many = *boxes[0]->find("Many");
    ASSERT_EQ(many.kind(), CimValue::Kind::Array);
    ASSERT_EQ(many.asArray().size(), 2u);
    EXPECT_TRUE(*many.asArray()[1].asObject()->find("Size") == CimValue::uint(2));
    // Embedded objects are values, not instances of the namespace.
    EXPECT_TRUE(instancesOf(testNs(state), "Part").empty());
}

TEST(Instances, ALaterDeclarationOfTheSameObjectReplacesIt) {
    auto repo = std::make_shared<Repository>();
    for (const char* size : {"1", "2"}) {
        Repository::Transaction tx(*repo);
        tx.ns(testing::kTestNamespace, true);
        compileText(tx,
                    std::string(kClasses) + "instance of Node { Name = \"a\"; Size = " + size +
                        "; };\ninstance of Node { Name = \"A\"; Size = 3; };\n"
                        "instance of Free { s = \"1\"; }; instance of Free { s = \"1\"; };",
                    "test.mof", testing::testOptions());
        tx.commit();
    }
    const NamespaceState& ns = testNs(repo->snapshot());
    auto nodes = instancesOf(ns, "Node");
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_TRUE(*nodes[0]->find("Size") == CimValue::uint(3));
    // Objects without a path cannot be told apart: each declaration adds one.
    EXPECT_EQ(instancesOf(ns, "Free").size(), 4u);
}

TEST(Instances, NamespaceInstanceCreatesANamespace) {
    auto state = compiled(R"(
        #pragma namespace("\\\\.\\root")
        instance of __NAMESPACE { Name = "made"; };
        #pragma namespace("made")
        class InMade { };)");
    const NamespaceState* made = state->find("root\\made");
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->findClass("InMade"));
    EXPECT_TRUE(made->instances.empty());
}

TEST(Instances, Errors) {
    struct Case {
        const char* text;
        const char* at;  // the text the error points at (first occurrence)
        std::string message;
        HResult code;
    } cases[] = {
        {"instance of Nope { };", "Nope", "unknown class 'Nope'", hr::InvalidClass},
        {"instance of Abs { K = \"k\"; };", "Abs {",
         "class 'Abs' is abstract and cannot have instances", hr::InvalidOperation},
        {"instance of Node { Name = \"n\"; Color = 1; };", "Color",
         "class 'Node' has no property 'Color'", hr::NotFound},
        {"instance of Node { Name = \"n\"; name = \"m\"; };",
         "name =", "property 'name' is set twice", hr::Failed},
        {"instance of Node { Size = 1; };", "Node {",
         "key property 'Name' of class 'Node' has no value", hr::Failed},
        {"instance of Node { Name = \"n\"; Next = $zz; };", "$zz", "unknown alias '$zz'",
         hr::Failed},
        {"instance of Node as $a { Name = \"1\"; };\ninstance of Node as $A { Name = \"2\"; };",
         "$A", "alias '$A' is already defined", hr::Failed},
        {"class Loop { [Key] Loop REF Self; };\ninstance of Loop as $l { Self = $l; };", "$l;",
         "cannot resolve alias '$l': the keys of the instances refer to each other", hr::Failed},
        {"instance of Free as $f { };\ninstance of Node { Name = \"n\"; Next = $f; };", "$f;",
         "alias '$f' names an instance without an object path (its class has no key, or a key "
         "has no value)",
         hr::Failed},
        {"instance of Node as $a { Name = \"a\"; Size = $a; };", "$a;",
         "expected a value of type uint32 for property 'Size', found $a", hr::TypeMismatch},
        {"instance of Holder as $h { Id = 1; };\ninstance of Node { Name = \"n\"; Next = $h; };",
         "$h;",
         "expected a value of type Node ref for property 'Next', found $h (an instance of Holder)",
         hr::TypeMismatch},
        {"class D { Node REF n = $a; };", "$a",
         "an alias can only be used as a property value of an instance", hr::Failed},
        {"instance of Node as $a { Name = \"a\"; };\nclass D { Node n = instance of Node { Name = "
         "\"x\"; Next = $a; }; };",
         "$a;", "an alias can only be used as a property value of an instance", hr::Failed},
        {"instance of Node as $a { Name = \"a\"; };\nclass R { [Key] Node REF n; Box b; };\n"
         "instance of R { n = $a; b = instance of Box { Id = \"x\"; Content = $a; }; };",
         "$a; };", "expected a value of type object:Part for property 'Content', found $a",
         hr::TypeMismatch},
        {"instance of Box { Id = \"b\"; Content = instance of Other { }; };", "instance of Other",
         "expected an object of class Part for property 'Content', found an instance of Other",
         hr::TypeMismatch},
        {"instance of Box { Id = \"b\"; Any = instance of Box { Id = \"c\"; Nope = 1; }; };",
         "Nope", "class 'Box' has no property 'Nope'", hr::NotFound},
        {"instance of Box { Id = \"b\"; Content = \"text\"; };", "\"text\"",
         "expected a value of type object:Part for property 'Content', found \"text\"",
         hr::TypeMismatch},
        {"instance of __NAMESPACE { Name = 5; };", "5",
         "expected a namespace name for property 'Name', found 5", hr::Failed},
    };
    for (const Case& c : cases) {
        std::string text = std::string(kClasses) + c.text;
        auto f = compileError(text);
        EXPECT_EQ(f.message, c.message) << c.text;
        EXPECT_EQ(f.code, c.code) << c.text;
        // Expected position: the first occurrence of `at` after the classes.
        size_t offset = text.find(c.at, std::strlen(kClasses));
        ASSERT_NE(offset, std::string::npos) << c.at;
        int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
        int column = static_cast<int>(offset - text.rfind('\n', offset));
        EXPECT_EQ(f.line, line) << c.text;
        EXPECT_EQ(f.column, column) << c.text;
    }
}

}  // namespace
}  // namespace wbem::mof
