// The agent's operations through its HTTP endpoint, in-process: requests
// written by our CIM-XML client's request writer, answers read back by the
// client's reply reader, so both ends of the protocol meet here.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <thread>

#include "agent/cim_status_error.h"
#include "agent/cimxml_endpoint.h"
#include "basic_auth.h"
#include "wbem/remote/cimxml/messages.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/remote/xml/cim_xml_writer.h"
#include "wbem/repository/instance_source.h"
#include "wbem/service/hosts.h"

namespace {

namespace cx = wbem::cimxml;

std::string testMof() {
    std::string mof = R"MOF(
[Description("Every type")]
class AllTypes
{
    [Key] string Id;
    sint8 S8; sint16 S16; sint32 S32; sint64 S64;
    uint8 U8; uint16 U16; uint32 U32; uint64 U64;
    real32 R32; real64 R64; boolean B; char16 C; datetime D;
    [Description("text <&> \"quoted\"")] string Text;
    string Strings[]; uint32 Numbers[];
    uint32 Touch([In] string A, [Out] uint32 B);
};
class Part { [Key] uint32 N; string Label; };
[Association] class Link { [Key] AllTypes REF From; [Key] Part REF To; };
instance of AllTypes {
    Id = "a"; S8 = -8; S16 = -16; S32 = -32; S64 = -9223372036854775807;
    U8 = 255; U16 = 65535; U32 = 4294967295; U64 = 18446744073709551615;
    R32 = 1.5; R64 = 2.000000000000001; B = TRUE; C = 'x'; D = "20261210224500.000000+000";
    Text = "<&> \"q\" tab\there\nline"; Strings = {"x", "y"}; Numbers = {1, 2, 3};
};
instance of Link { From = "AllTypes.Id=\"a\""; To = "Part.N=1"; };
)MOF";
    for (int i = 1; i <= 250; ++i)
        mof += "instance of Part { N = " + std::to_string(i) + "; Label = \"p" + std::to_string(i) +
               "\"; };\n";
    return mof;
}

class AcceptU : public agent::PasswordCheck {
  public:
    bool check(const std::string& user, const std::string& password) override {
        return (user == "u" || user == "v") && password == "p";
    }
};

using agenttest::basic;

class AgentOperations : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { repo = wbem::registerTestHost("agenttest", testMof()); }
    static void TearDownTestSuite() { wbem::unregisterTestHost("agenttest"); }

    agent::HttpResponse post(const cx::Request& request, const std::string& user = "u") {
        agent::HttpRequest r{"POST", "/cimom", {}, request.body, "127.0.0.1"};
        for (const auto& h : request.headers) r.headers.push_back(h);
        r.headers.emplace_back("Authorization", basic(user + ":p"));
        return endpoint.handle(r);
    }

    // The answer as our client reads it; throws cx::CimError for an error.
    cx::Response call(const std::string& method, const std::vector<cx::Param>& params,
                      const std::string& user = "u", const std::string& nspace = "root/cimv2") {
        const agent::HttpResponse r = post(cx::intrinsicRequest(1, method, nspace, params), user);
        wbem::http::Reply reply{r.status, r.headers, r.body};
        return cx::readResponse(reply, method, "the agent");
    }

    // The CIM status an operation fails with (0 when it does not fail).
    unsigned statusOf(const std::string& method, const std::vector<cx::Param>& params,
                      const std::string& user = "u", const std::string& nspace = "root/cimv2") {
        try {
            call(method, params, user, nspace);
            return 0;
        } catch (const cx::CimError& e) {
            return e.status();
        }
    }

    static cx::Param name(const std::string& n, const std::string& className) {
        return {n, cx::classNameXml(className)};
    }
    static cx::Param value(const std::string& n, const std::string& text) {
        return {n, cx::valueXml(text)};
    }

    static inline std::shared_ptr<wbem::Repository> repo;
    agent::EnumerationContexts contexts{4, 2};
    agent::Operations operations{repo, "AGENTTEST", contexts};
    agent::LoginGuard guard{std::make_unique<AcceptU>(),
                            {std::chrono::seconds(300), 16, std::chrono::milliseconds(0),
                             std::chrono::milliseconds(0)}};
    agent::CimxmlEndpoint endpoint{operations, guard};
};

std::vector<std::string> elementNames(const xmlNode* parent, const char* element,
                                      const char* attr) {
    std::vector<std::string> out;
    for (const xmlNode* n : wbem::xml::children(parent, element))
        out.push_back(wbem::xml::attribute(n, attr).value_or("?"));
    return out;
}

}  // namespace

TEST_F(AgentOperations, ClassesReadBackAsDefined) {
    const auto names =
        elementNames(call("EnumerateClassNames", {value("DeepInheritance", "TRUE")}).returnValue,
                     "CLASSNAME", "NAME");
    for (const char* c : {"AllTypes", "Part", "Link"})
        EXPECT_NE(std::find(names.begin(), names.end(), c), names.end()) << c;

    const auto r =
        call("GetClass", {name("ClassName", "AllTypes"), value("IncludeClassOrigin", "TRUE")});
    const xmlNode* classElement = wbem::xml::firstChild(r.returnValue, "CLASS");
    ASSERT_NE(classElement, nullptr);
    const auto read = cx::readClass(classElement);
    const auto original = repo->snapshot()->find("root\\cimv2")->findClass("AllTypes");
    ASSERT_EQ(read->properties.size(), original->properties.size());
    for (size_t i = 0; i < read->properties.size(); ++i) {
        const auto& a = read->properties[i];
        const auto& b = original->properties[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.type.type, b.type.type) << a.name;
        EXPECT_EQ(a.type.isArray, b.type.isArray) << a.name;
        EXPECT_EQ(a.isKey, b.isKey) << a.name;
    }
    ASSERT_NE(read->property("Text"), nullptr);
    const auto* description =
        wbem::findQualifier(read->property("Text")->qualifiers, "Description");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->value.asString(), "text <&> \"quoted\"");
    const auto* method = read->findMethod("Touch");
    ASSERT_NE(method, nullptr);
    ASSERT_EQ(method->parameters.size(), 2u);
    EXPECT_TRUE(method->parameters[0].in);
    EXPECT_TRUE(method->parameters[1].out);
}

TEST_F(AgentOperations, InstanceValuesOfEveryTypeReadBackUnchanged) {
    const auto snap = repo->snapshot();
    const auto* ns = snap->find("root\\cimv2");
    const auto cls = ns->findClass("AllTypes");
    const auto r =
        call("GetInstance",
             {{"InstanceName", cx::instanceNameXml(wbem::parseObjectPath("AllTypes.Id=\"a\""))}});
    const auto read = cx::readInstance(wbem::xml::firstChild(r.returnValue, "INSTANCE"),
                                       [&](std::string_view) { return cls; });
    const auto original = wbem::findInstance(snap, *ns, wbem::parseObjectPath("AllTypes.Id=\"a\""));
    ASSERT_TRUE(original);
    for (size_t slot = 0; slot < cls->properties.size(); ++slot) {
        const auto& a = read->value(int(slot));
        const auto& b = original->value(int(slot));
        if (a.kind() == wbem::CimValue::Kind::Real && b.kind() == wbem::CimValue::Kind::Real)
            EXPECT_EQ(float(a.asReal()), float(b.asReal())) << cls->properties[slot].name;
        else
            EXPECT_TRUE(a == b) << cls->properties[slot].name;
    }
}

TEST_F(AgentOperations, EmbeddedObjectsAndHostileTextSurviveTheWriter) {
    // Text from the system may hold control characters and bytes that are not UTF-8.
    auto part = repo->snapshot()->find("root\\cimv2")->findClass("Part");
    auto holder = std::make_shared<wbem::ClassDef>();
    holder->name = "Holder";
    holder->properties.push_back(
        {"Inner", {wbem::CimType::Object, false, -1, "Part"}, {}, {}, "Holder", false});
    holder->properties.push_back(
        {"Raw", {wbem::CimType::String, false, -1, {}}, {}, {}, "Holder", false});
    holder->finalize();
    auto inner = std::make_shared<wbem::Instance>(part);
    inner->set("N", wbem::CimValue::uint(9));
    inner->set("Label", wbem::CimValue::string("</VALUE>&amp;"));
    wbem::Instance outer(holder);
    outer.set("Inner", wbem::CimValue::object(inner));
    outer.set("Raw", wbem::CimValue::string(std::string("a\x01"
                                                        "b\xff"
                                                        "c\r\nd",
                                                        8)));
    std::string xml;
    cx::writeInstance(xml, outer, {});
    const auto doc = wbem::xml::Document::parse(xml);
    const auto read = cx::readInstance(
        doc.root(), [&](std::string_view n) -> std::shared_ptr<const wbem::ClassDef> {
            return wbem::iequals(n, "Part") ? part : wbem::iequals(n, "Holder") ? holder : nullptr;
        });
    const auto& embedded = read->find("Inner")->asObject();
    ASSERT_TRUE(embedded);
    EXPECT_EQ(embedded->find("Label")->asString(), "</VALUE>&amp;");
    EXPECT_EQ(embedded->find("N")->asUInt(), 9u);
    EXPECT_EQ(read->find("Raw")->asString(),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c\r\nd");
}

TEST_F(AgentOperations, OpenPullDeliversEveryInstanceOnceInBatches) {
    auto r =
        call("OpenEnumerateInstances", {name("ClassName", "Part"), value("MaxObjectCount", "100")});
    std::set<std::string> seen;
    auto collect = [&](const cx::Response& response) {
        for (const xmlNode* n :
             wbem::xml::children(response.returnValue, "VALUE.INSTANCEWITHPATH")) {
            const auto inst = cx::readInstance(wbem::xml::firstChild(n, "INSTANCE"));
            EXPECT_TRUE(seen.insert(std::to_string(inst->find("N")->asUInt())).second);
        }
    };
    collect(r);
    int pulls = 0;
    while (wbem::xml::text(wbem::xml::firstChild(r.param("ENDOFSEQUENCE"), "VALUE")) == "FALSE") {
        ASSERT_LT(++pulls, 5);
        const std::string context =
            wbem::xml::text(wbem::xml::firstChild(r.param("ENUMERATIONCONTEXT"), "VALUE"));
        r = call("PullInstancesWithPath",
                 {value("EnumerationContext", context), value("MaxObjectCount", "100")});
        collect(r);
    }
    EXPECT_EQ(seen.size(), 250u);
    EXPECT_EQ(pulls, 2);  // 100 + 100 + 50, the end told with the last batch
    EXPECT_EQ(contexts.size(), 0u);
}

TEST_F(AgentOperations, EnumerationContextsAreGuarded) {
    auto open = [&](const std::string& user) {
        const auto r = call("OpenEnumerateInstancePaths",
                            {name("ClassName", "Part"), value("MaxObjectCount", "1")}, user);
        return wbem::xml::text(wbem::xml::firstChild(r.param("ENUMERATIONCONTEXT"), "VALUE"));
    };
    const std::string mine = open("u");
    const auto pull = [&](const std::string& context, const std::string& user) {
        return statusOf("PullInstancePaths",
                        {value("EnumerationContext", context), value("MaxObjectCount", "1")}, user);
    };
    EXPECT_EQ(pull(mine, "v"), 21u);                // another user's
    EXPECT_EQ(pull("0123456789abcdef", "u"), 21u);  // made up
    EXPECT_EQ(statusOf("PullInstancesWithPath",
                       {value("EnumerationContext", mine), value("MaxObjectCount", "1")}),
              4u);  // pulled the wrong way
    EXPECT_EQ(pull(mine, "u"), 0u);
    EXPECT_EQ(statusOf("CloseEnumeration", {value("EnumerationContext", mine)}), 0u);
    EXPECT_EQ(pull(mine, "u"), 21u);  // closed
    // At most two per user, four in all.
    open("u");
    open("u");
    EXPECT_EQ(statusOf("OpenEnumerateInstancePaths",
                       {name("ClassName", "Part"), value("MaxObjectCount", "1")}),
              27u);
    open("v");
    EXPECT_EQ(contexts.size(), 3u);
}

TEST_F(AgentOperations, AnEnumerationLeftAloneExpires) {
    const auto r = call(
        "OpenEnumerateInstancePaths",
        {name("ClassName", "Part"), value("MaxObjectCount", "1"), value("OperationTimeout", "1")});
    const std::string context =
        wbem::xml::text(wbem::xml::firstChild(r.param("ENUMERATIONCONTEXT"), "VALUE"));
    EXPECT_EQ(contexts.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(statusOf("PullInstancePaths",
                       {value("EnumerationContext", context), value("MaxObjectCount", "1")}),
              21u);
    EXPECT_EQ(contexts.size(), 0u);
}

TEST_F(AgentOperations, QueriesAndAssociations) {
    auto r = call("ExecQuery", {value("QueryLanguage", "WQL"),
                                value("Query", "select Label from Part where N = 7")});
    const auto objects = wbem::xml::children(r.returnValue, "VALUE.OBJECTWITHPATH");
    int count = 0;
    for (const xmlNode* n : objects) {
        ++count;
        const auto inst = cx::readInstance(wbem::xml::firstChild(n, "INSTANCE"));
        EXPECT_EQ(inst->find("Label")->asString(), "p7");
        EXPECT_EQ(inst->find("N"), nullptr);  // not selected
        EXPECT_NE(cx::readReference(wbem::xml::firstChild(n, "INSTANCEPATH")).find("Part.N=7"),
                  std::string::npos);
    }
    EXPECT_EQ(count, 1);

    r = call("AssociatorNames",
             {{"ObjectName", cx::instanceNameXml(wbem::parseObjectPath("AllTypes.Id=\"a\""))},
              name("ResultClass", "Part")});
    std::vector<std::string> paths;
    for (const xmlNode* n : wbem::xml::children(r.returnValue, "OBJECTPATH"))
        paths.push_back(cx::readReference(wbem::xml::firstChild(n, "INSTANCEPATH")));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_NE(paths[0].find("Part.N=1"), std::string::npos);
    r = call("References",
             {{"ObjectName", cx::instanceNameXml(wbem::parseObjectPath("Part.N=1"))}});
    EXPECT_NE(wbem::xml::firstChild(r.returnValue, "VALUE.OBJECTWITHPATH"), nullptr);
}

TEST_F(AgentOperations, FailuresAnswerTheirCimStatus) {
    const auto path = [](const char* p) {
        return cx::Param{"InstanceName", cx::instanceNameXml(wbem::parseObjectPath(p))};
    };
    const struct {
        const char* what;
        std::string method;
        std::vector<cx::Param> params;
        std::string nspace;
        unsigned status;
    } cases[] = {
        {"no such namespace", "EnumerateClassNames", {}, "root/nowhere", 3},
        {"no such class to get", "GetClass", {name("ClassName", "Nope")}, "root/cimv2", 6},
        {"no such class to enumerate",
         "EnumerateInstances",
         {name("ClassName", "Nope")},
         "root/cimv2",
         5},
        {"no such instance", "GetInstance", {path("Part.N=999")}, "root/cimv2", 6},
        {"no such property",
         "GetProperty",
         {path("Part.N=1"), value("PropertyName", "Nope")},
         "root/cimv2",
         12},
        {"a write", "DeleteInstance", {path("Part.N=1")}, "root/cimv2", 7},
        {"another query language",
         "ExecQuery",
         {value("QueryLanguage", "DMTF:CQL"), value("Query", "x")},
         "root/cimv2",
         14},
        {"a bad query",
         "ExecQuery",
         {value("QueryLanguage", "WQL"), value("Query", "select from")},
         "root/cimv2",
         15},
        {"a bad flag",
         "GetClass",
         {name("ClassName", "Part"), value("LocalOnly", "maybe")},
         "root/cimv2",
         4},
        {"a bad count",
         "OpenEnumerateInstances",
         {name("ClassName", "Part"), value("MaxObjectCount", "-1")},
         "root/cimv2",
         4},
        {"no timeout",
         "OpenEnumerateInstances",
         {name("ClassName", "Part"), value("OperationTimeout", "0")},
         "root/cimv2",
         22},
        {"a parameter twice",
         "GetClass",
         {name("ClassName", "Part"), name("CLASSNAME", "Part")},
         "root/cimv2",
         4},
        {"continue on error",
         "OpenEnumerateInstances",
         {name("ClassName", "Part"), value("ContinueOnError", "TRUE")},
         "root/cimv2",
         26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(statusOf(c.method, c.params, "u", c.nspace), c.status);
    }
    EXPECT_EQ(contexts.size(), 0u);
}

TEST_F(AgentOperations, MethodsWithoutProviderAreNamedAsSuch) {
    const auto target = wbem::parseObjectPath("AllTypes.Id=\"a\"");
    auto invoke = [&](const char* method) -> unsigned {
        const auto r = post(cx::methodRequest(1, method, "root/cimv2", target, {}));
        try {
            cx::readResponse(wbem::http::Reply{r.status, r.headers, r.body}, method, "the agent");
            return 0;
        } catch (const cx::CimError& e) {
            return e.status();
        }
    };
    EXPECT_EQ(invoke("Touch"), 16u);
    EXPECT_EQ(invoke("Nope"), 17u);
}

TEST_F(AgentOperations, TheEndpointRefusesWhatIsNoOperation) {
    const auto request = cx::intrinsicRequest(1, "EnumerateClassNames", "root/cimv2", {});
    agent::HttpRequest r{"POST", "/cimom", request.headers, request.body, "127.0.0.1"};
    EXPECT_EQ(endpoint.handle(r).status, 401);  // no credentials
    ASSERT_TRUE(agent::HttpRequest(r).header("CIMMethod"));
    r.headers.emplace_back("Authorization", basic("u:wrong"));
    EXPECT_EQ(endpoint.handle(r).status, 401);
    r.headers.back().second = basic("u:p");
    EXPECT_EQ(endpoint.handle(r).status, 200);
    for (auto& h : r.headers)
        if (h.first == "CIMOperation") h.second = "ExportMethodCall";
    const auto refused = endpoint.handle(r);
    EXPECT_EQ(refused.status, 400);
    r.target = "/etc/passwd";
    EXPECT_EQ(endpoint.handle(r).status, 404);
    r.target = "/cimom";
    r.method = "GET";
    EXPECT_EQ(endpoint.handle(r).status, 405);
}

TEST(AgentMethods, GetOwnerOfThisProcessNamesThisUser) {
    auto repo = wbem::localRepository();
    agent::EnumerationContexts contexts(4, 4);
    agent::Operations operations(repo, wbem::localServerName(), contexts);
    const std::string self = std::to_string(::getpid());
    const auto target = wbem::parseObjectPath("Win32_Process.Handle=\"" + self + "\"");
    auto invoke = [&](const char* method) {
        const auto request = cx::methodRequest(1, method, "root/cimv2", target, {});
        const agent::Call call = agent::readCall(request.body, method);
        return cx::readResponseBody(
            agent::responseXml(
                call, operations.call(call, "u", agent::Deadline(std::chrono::seconds(30)))),
            method, "the agent");
    };
    const auto owner = invoke("GetOwner");
    EXPECT_EQ(wbem::xml::text(wbem::xml::firstChild(owner.returnValue, "VALUE")), "0");
    const passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    ASSERT_NE(owner.param("USER"), nullptr);
    EXPECT_EQ(wbem::xml::text(wbem::xml::firstChild(owner.param("USER"), "VALUE")), me->pw_name);
    const auto sid = invoke("GetOwnerSid");
    EXPECT_EQ(wbem::xml::text(wbem::xml::firstChild(sid.param("SID"), "VALUE")),
              "S-1-22-1-" + std::to_string(::geteuid()));
    // Carried out on this machine for its own window and wql, but never for
    // a caller from afar: whatever changes the machine is refused.
    for (const char* method : {"Terminate", "SetPriority", "Create", "AttachDebugger"}) {
        try {
            invoke(method);
            ADD_FAILURE() << method << " ran";
        } catch (const agent::CimStatusError& e) {
            EXPECT_EQ(e.status(), 16u) << method;
        }
    }
    const auto service = wbem::parseObjectPath("Win32_Service.Name=\"ssh\"");
    const auto request = cx::methodRequest(1, "StopService", "root/cimv2", service, {});
    const agent::Call call = agent::readCall(request.body, "StopService");
    try {
        operations.call(call, "u", agent::Deadline(std::chrono::seconds(30)));
        ADD_FAILURE() << "StopService ran";
    } catch (const agent::CimStatusError& e) {
        EXPECT_EQ(e.status(), 16u);
    }
}
