// CIM-XML requests as sent, and replies read: the server's errors as WMI
// codes with its reason, and replies that are no CIM-XML answer refused
// cleanly.
#include <gtest/gtest.h>

#include "wbem/remote/cimxml/messages.h"
#include "wbem/remote/xml/xml_doc.h"

using namespace wbem;
using namespace wbem::cimxml;

namespace {

std::string reply(std::string_view method, std::string_view inner) {
    return "<?xml version=\"1.0\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"1\" "
           "PROTOCOLVERSION=\"1.0\"><SIMPLERSP><IMETHODRESPONSE NAME=\"" +
           std::string(method) + "\">" + std::string(inner) +
           "</IMETHODRESPONSE></SIMPLERSP></MESSAGE></CIM>";
}

std::string header(const http::Headers& h, const std::string& name) {
    for (const auto& [n, v] : h)
        if (n == name) return v;
    return "(none)";
}

}  // namespace

TEST(CimxmlMessages, RequestsCarryNamespaceParametersAndHeaders) {
    ObjectPath path;
    path.className = "PG_Test";
    path.keys = {{"Name", "a\"<b>&", true}, {"Id", "7", false}, {"On", "true", false}};
    Request r =
        intrinsicRequest(42, "GetInstance", "root\\cimv2",
                         {{"InstanceName", instanceNameXml(path)}, {"LocalOnly", boolXml(false)}});
    EXPECT_EQ(header(r.headers, "CIMOperation"), "MethodCall");
    EXPECT_EQ(header(r.headers, "CIMMethod"), "GetInstance");
    EXPECT_EQ(header(r.headers, "CIMObject"), "root%2Fcimv2");
    // The body is well-formed XML, with the namespace split and the keys typed.
    auto doc = xml::Document::parse(r.body);
    const xmlNode* call = xml::firstChild(
        xml::firstChild(xml::firstChild(doc.root(), "MESSAGE"), "SIMPLEREQ"), "IMETHODCALL");
    ASSERT_NE(call, nullptr);
    std::vector<std::string> ns;
    for (const xmlNode* n : xml::children(xml::firstChild(call, "LOCALNAMESPACEPATH"), "NAMESPACE"))
        ns.push_back(*xml::attribute(n, "NAME"));
    EXPECT_EQ(ns, (std::vector<std::string>{"root", "cimv2"}));
    std::vector<std::pair<std::string, std::string>> keys;
    const xmlNode* name = xml::firstChild(xml::firstChild(call, "IPARAMVALUE"), "INSTANCENAME");
    for (const xmlNode* k : xml::children(name, "KEYBINDING")) {
        const xmlNode* v = xml::firstChild(k, "KEYVALUE");
        keys.emplace_back(*xml::attribute(v, "VALUETYPE"), xml::text(v));
    }
    EXPECT_EQ(keys, (std::vector<std::pair<std::string, std::string>>{
                        {"string", "a\"<b>&"}, {"numeric", "7"}, {"boolean", "true"}}));

    Request m = methodRequest(1, "Reset", "root/cimv2", path, {{"Delay", valueXml("5")}});
    EXPECT_EQ(header(m.headers, "CIMObject"),
              "root%2Fcimv2%3APG_Test.Name%3D%22a%5C%22%3Cb%3E%26%22%2CId%3D7%2COn%3Dtrue");
    EXPECT_NO_THROW(xml::Document::parse(m.body));
}

TEST(CimxmlMessages, ServerErrorsBecomeWmiCodesWithTheReason) {
    const struct {
        long status;
        http::Headers headers;
        std::string body;
        HResult code;
        unsigned cimStatus;
        const char* reason;  // part of the text
    } cases[] = {
        {200,
         {},
         reply("GetClass", "<ERROR CODE=\"6\" DESCRIPTION=\"CIM_ERR_NOT_FOUND: X\"/>"),
         hr::NotFound,
         6,
         "CIM_ERR_NOT_FOUND: X"},
        {200,
         {},
         reply("GetClass", "<ERROR CODE=\"3\"/>"),
         hr::InvalidNamespace,
         3,
         "CIM status 3 (CIM_ERR_INVALID_NAMESPACE)"},
        {200,
         {},
         reply("GetClass", "<ERROR CODE=\"27\" DESCRIPTION=\"too many\"/>"),
         hr::Failed,
         27,
         "too many"},
        {200,
         {},
         reply("GetClass", "<ERROR CODE=\"-1\" DESCRIPTION=\"odd\"/>"),
         hr::Failed,
         0,
         "odd"},
        {400,
         {{"CIMError", "request-not-valid"}, {"PGErrorDetail", "Expected%20VALUE%20element"}},
         "",
         hr::InvalidParameter,
         0,
         "(request-not-valid): Expected VALUE element"},
        {501,
         {{"CIMError", "unsupported-operation"}},
         "",
         hr::NotSupported,
         0,
         "HTTP 501 (unsupported-operation)"},
        {200, {{"CIMError", "header-mismatch"}}, "", hr::InvalidParameter, 0, "header-mismatch"},
        {404, {}, "not here", hr::RpcUnavailable, 0, "no CIM-XML server there"},
    };
    for (const auto& c : cases) {
        http::Reply r{c.status, c.headers, c.body};
        try {
            readResponse(r, "GetClass", "srv");
            ADD_FAILURE() << c.reason << ": no error";
        } catch (const CimError& e) {
            EXPECT_EQ(e.code(), c.code) << c.reason;
            EXPECT_EQ(e.status(), c.cimStatus) << c.reason;
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST(CimxmlMessages, AServerSpeakingWmisWordsIsNotEchoed) {
    // cimscope-agent describes its errors as WMI does.
    for (const std::string description : {"Invalid class", "Invalid class. No Nope here."}) {
        http::Reply r{
            200, {}, reply("GetClass", "<ERROR CODE=\"5\" DESCRIPTION=\"" + description + "\"/>")};
        try {
            readResponse(r, "GetClass", "srv");
            ADD_FAILURE() << "no error";
        } catch (const CimError& e) {
            EXPECT_EQ(std::string(e.what()), description);
        }
    }
}

TEST(CimxmlMessages, RepliesThatAreNoAnswerFailCleanly) {
    const char* cases[] = {
        "",
        "not xml",
        "<CIM/>",
        "<SOAP/>",
        "<CIM><MESSAGE><SIMPLERSP/></MESSAGE></CIM>",
        "<!DOCTYPE CIM [<!ENTITY x \"y\">]><CIM/>",
        "<CIM><MESSAGE><SIMPLERSP><IMETHODRESPONSE NAME=\"GetInstance\"/></SIMPLERSP></MESSAGE>"
        "</CIM>",
        "<CIM><MESSAGE><SIMPLERSP><IMETHODRESPONSE NAME=\"GetClass\"><IRETURNVALUE>",
    };
    for (const char* body : cases) {
        http::Reply r{200, {}, body};
        try {
            readResponse(r, "GetClass", "srv");
            ADD_FAILURE() << body << ": read as an answer";
        } catch (const CimError& e) {
            ADD_FAILURE() << body << ": taken as the server's error " << e.what();
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::Failed) << body;
            EXPECT_NE(std::string(e.what()).find("srv"), std::string::npos) << e.what();
        }
    }
    // A good one: the return value and the output parameters by name.
    http::Reply good{200,
                     {},
                     reply("OpenEnumerateInstances",
                           "<IRETURNVALUE/><PARAMVALUE NAME=\"EndOfSequence\"><VALUE>TRUE</VALUE>"
                           "</PARAMVALUE>")};
    Response r = readResponse(good, "OpenEnumerateInstances", "srv");
    EXPECT_NE(r.returnValue, nullptr);
    ASSERT_NE(r.param("ENDOFSEQUENCE"), nullptr);
    EXPECT_EQ(r.param("ENUMERATIONCONTEXT"), nullptr);
}
