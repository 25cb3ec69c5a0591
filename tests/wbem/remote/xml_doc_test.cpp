// Safe XML parsing: what is refused, how errors read, and the element helpers.
#include "wbem/remote/xml/xml_doc.h"

#include <gtest/gtest.h>

#include <string>

namespace wbem::xml {
namespace {

std::string errorOf(std::string_view text, const ParseLimits& limits = {}) {
    try {
        Document::parse(text, limits);
    } catch (const XmlError& e) {
        return e.what();
    }
    return "(parsed)";
}

std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<e>";
    for (int i = 0; i < depth; ++i) s += "</e>";
    return s;
}

TEST(XmlDocTest, RefusesDoctypesEntitiesAndBadInput) {
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE lolz [\n"
        " <!ENTITY lol \"lol\">\n"
        " <!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
        " <!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">\n"
        " <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n"
        " <!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">\n"
        " <!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">\n"
        " <!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">\n"
        " <!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">\n"
        " <!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">\n"
        " <!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">\n"
        "]>\n"
        "<lolz>&lol9;</lolz>";
    struct Case {
        const char* what;
        std::string text;
        std::string expected;  // part of the message
    } cases[] = {
        {"billion laughs", laughs, "line 2: a DOCTYPE is not accepted"},
        {"plain doctype", "<!DOCTYPE a>\n<a/>", "DOCTYPE is not accepted"},
        {"external entity",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
         "<a>&x;</a>",
         "DOCTYPE is not accepted"},
        {"undeclared entity", "<a>\n&x;</a>", "line 2"},
        {"mismatched tag", "<a>\n<b>\n</a>", "line 3"},
        {"unclosed", "<a><b></b>", "line 1"},
        {"text only", "just text", "line 1"},
        {"empty", "", "empty"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        std::string error = errorOf(c.text);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(printed, "") << c.what << ": libxml2 must not print";
    }
}

TEST(XmlDocTest, EnforcesSizeAndDepthLimits) {
    ParseLimits small;
    small.maxBytes = 16;
    EXPECT_NO_THROW(Document::parse("<a>0123456789</a>", ParseLimits{17, 8}));
    EXPECT_NE(errorOf("<a>0123456789</a>", small).find("over the limit of 16 bytes"),
              std::string::npos);

    ParseLimits shallow;
    shallow.maxDepth = 3;
    EXPECT_NO_THROW(Document::parse(nested(3), shallow));
    EXPECT_NE(errorOf(nested(4), shallow).find("nested deeper than 3"), std::string::npos);
    // The default bound is ours, not only libxml2's.
    EXPECT_NO_THROW(Document::parse(nested(256)));
    EXPECT_NE(errorOf(nested(257)).find("nested deeper than 256"), std::string::npos);
    EXPECT_NE(errorOf(nested(100000)).find("nested deeper"), std::string::npos);
}

TEST(XmlDocTest, WalksElementsByLocalName) {
    Document doc = Document::parse(
        "<s:Envelope xmlns:s=\"urn:soap\" xmlns:w=\"urn:w\" w:Attr=\"one\" plain=\"a&amp;b\">\n"
        "  <!-- comment -->\n"
        "  <s:Header/>\n"
        "  <Body>x<w:Item>1&lt;<![CDATA[<2>]]></w:Item>y<Other/><w:Item>&#65;<i>B</i></w:Item>"
        "</Body>\n"
        "</s:Envelope>");
    const xmlNode* root = doc.root();
    EXPECT_EQ(localName(root), "Envelope");
    EXPECT_EQ(namespaceUri(root), "urn:soap");
    EXPECT_EQ(attribute(root, "Attr"), "one");
    EXPECT_EQ(attribute(root, "plain"), "a&b");
    EXPECT_EQ(attribute(root, "missing"), std::nullopt);

    const xmlNode* header = firstChild(root);
    EXPECT_EQ(localName(header), "Header");  // comments and text are skipped
    const xmlNode* body = firstChild(root, "Body");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(namespaceUri(body), "");
    EXPECT_EQ(nextSibling(body), nullptr);
    EXPECT_EQ(text(body), "x1<<2>yAB");

    std::string items;
    for (const xmlNode* item : children(body, "Item")) items += text(item) + "|";
    EXPECT_EQ(items, "1<<2>|AB|");
    int all = 0;
    for (const xmlNode* c : children(body)) all += c != nullptr;
    EXPECT_EQ(all, 3);
    EXPECT_EQ(firstChild(body, "None"), nullptr);
}

}  // namespace
}  // namespace wbem::xml
