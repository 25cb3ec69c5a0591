// The CIM-XML back end through the locator and the scripting object model,
// against a replay server of recorded OpenPegasus replies on 127.0.0.1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "../object_model_test_util.h"
#include "replay_server.h"
#include "wbem/api.h"
#include "wbem/remote_options.h"

using namespace wbem;
using wbem::test::ReplayServer;

namespace {

using wbem::test::all;
using wbem::test::failure;
using wbem::test::names;

constexpr const char* kUser = "alice";
constexpr const char* kPassword = "S3cr3t-pw!";

std::string recordings() { return std::string(CIMSCOPE_FIXTURES) + "/cimxml/openpegasus"; }

bool available(std::string* reason) {
    if (::access("/usr/bin/python3", X_OK) != 0)
        *reason = "/usr/bin/python3 is not installed";
    else if (!std::filesystem::is_directory(recordings()))
        *reason =
            "shared fixtures not found at " + recordings() + " (../shared beside the project)";
    else
        return true;
    return false;
}

#define SKIP_WITHOUT_REPLAY()                            \
    do {                                                 \
        std::string reason;                              \
        if (!available(&reason)) GTEST_SKIP() << reason; \
    } while (0)

std::unique_ptr<ReplayServer> start(std::vector<std::string> args) {
    ReplayServer::Options o;
    o.args = std::move(args);
    o.log = true;
    return std::make_unique<ReplayServer>(
        std::move(o), ReplayServer::Script{CIMSCOPE_CIMXML_REPLAY, recordings()});
}

RemoteOptions options(const ReplayServer& server) {
    RemoteOptions o;
    o.caFile = server.caCertPath();
    o.connectTimeoutMs = 5000;
    o.operationTimeoutMs = 20000;
    return o;
}

std::string address(const ReplayServer& server, const char* scheme = "cimxml") {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(server.port());
}

std::shared_ptr<ISWbemServices> connect(const std::string& host, const RemoteOptions& o,
                                        const std::string& nspace, const std::string& user = {},
                                        const std::string& password = {}) {
    return CreateLocator()->ConnectServer(host, nspace, user, password, {}, {}, 0, &o);
}

// The log lines that start with `method`.
std::vector<std::string> calls(const ReplayServer& server, const std::string& method) {
    std::vector<std::string> out;
    for (const auto& line : server.logLines())
        if (line.rfind(method + " ", 0) == 0) out.push_back(line);
    return out;
}

Variant value(ISWbemObject& o, const char* name) { return o.Properties_()->Item(name, 0)->Value(); }

}  // namespace

TEST(CimxmlService, ClassListAndClassDefinition) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({});
    auto s = connect(address(*server), options(*server), "test\\cimv2");
    std::vector<std::string> classes;
    for (const auto& c : all<ISWbemObject>(*s->SubclassesOf({}, 0)->NewEnum()))
        classes.push_back(c->Path_()->Class());
    EXPECT_EQ(classes.size(), 64u);
    EXPECT_NE(std::find(classes.begin(), classes.end(), "CIM_InstalledProductImage"),
              classes.end());
    // Names are asked with the namespace written with slashes.
    EXPECT_FALSE(calls(*server, "EnumerateClassNames test/cimv2").empty());

    auto cls = s->Get("CIM_InstalledProductImage", 0);
    EXPECT_TRUE(cls->Path_()->IsClass());
    EXPECT_EQ(cls->Path_()->Namespace(), "test\\cimv2");
    auto product = cls->Properties_()->Item("Product", 0);
    EXPECT_EQ(product->CIMType(), CimType::Reference);
    EXPECT_EQ(product->Origin(), "CIM_InstalledProductImage");
    EXPECT_NE(cls->GetObjectText_(0).find("[Association"), std::string::npos);
    // The class's qualifiers as the server sent them, through the object model.
    EXPECT_TRUE(cls->Qualifiers_()->Item("Association")->Value().asBool());
    auto productQualifiers = product->Qualifiers_();
    EXPECT_EQ(productQualifiers->Item("CIMTYPE")->Value().asString(), "ref:CIM_Product");
    EXPECT_EQ(productQualifiers->Item("Max")->Value().asInt(), 1);
    EXPECT_TRUE(productQualifiers->Item("Max")->IsLocal());
    // The class came once; the cache answers again.
    const size_t gets = calls(*server, "GetClass").size();
    s->Get("CIM_InstalledProductImage", 0);
    EXPECT_EQ(calls(*server, "GetClass").size(), gets);

    // Schema queries run over EnumerateClasses, filtered here.
    auto meta = all<ISWbemObject>(
        *s->ExecQuery("select * from meta_class where __this isa \"CIM_InstalledProductImage\"",
                      "WQL", 0)
             ->NewEnum());
    ASSERT_EQ(meta.size(), 1u);
    EXPECT_EQ(meta[0]->Path_()->Class(), "CIM_InstalledProductImage");
    EXPECT_EQ(calls(*server, "EnumerateClasses").size(), 1u);
}

TEST(CimxmlService, InstancesArriveOverSeveralPullsTypedWithPaths) {
    SKIP_WITHOUT_REPLAY();
    // A batch of one: the open and a pull each bring one instance.
    auto server = start({"--batch", "1"});
    auto s = connect(address(*server), options(*server), "test\\static");
    auto items = all<ISWbemObject>(*s->InstancesOf("PG_TestPropertyTypes", 0)->NewEnum());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(calls(*server, "OpenEnumerateInstances").size(), 1u);
    EXPECT_EQ(calls(*server, "PullInstancesWithPath").size(), 1u);
    EXPECT_TRUE(calls(*server, "CloseEnumeration").empty());  // it ended by itself

    auto& first = *items[0];
    EXPECT_EQ(first.Path_()->Path(),
              "\\\\127.0.0.1\\test\\static:PG_TestPropertyTypes.CreationClassName="
              "\"PG_TestPropertyTypes\",InstanceId=1");
    // Strings exactly as sent; numbers, booleans and dates typed by the class.
    EXPECT_EQ(value(first, "PropertyString").asString(), "PG_TestPropertyTypes_Instance1");
    EXPECT_EQ(value(first, "PropertyUint8").type(), VarType::UInt8);
    EXPECT_EQ(value(first, "PropertyUint8").asInt(), 120);
    EXPECT_EQ(value(first, "PropertySint32").asInt(), -3200);
    EXPECT_EQ(value(first, "PropertyUint64").asString(), "6400");  // 64-bit as text, as WMI does
    EXPECT_TRUE(value(first, "PropertyBoolean").asBool());
    EXPECT_NEAR(value(first, "PropertyReal64").asReal(), 1.1234567890654321, 1e-15);
    EXPECT_EQ(value(first, "PropertyDatetime").asString(), "20010515104354.000000:000");

    // One instance by its path.
    auto two =
        s->Get("PG_TestPropertyTypes.CreationClassName=\"PG_TestPropertyTypes\",InstanceId=2", 0);
    EXPECT_EQ(value(*two, "PropertyUint16").asInt(), 1602);
    std::string text;
    EXPECT_EQ(
        failure([&] { s->Get("PG_TestPropertyTypes.CreationClassName=\"x\",InstanceId=9", 0); },
                &text),
        hr::NotFound);
}

TEST(CimxmlService, WithoutClassDefinitionsTypesAndKeysComeFromTheReply) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({"--hide-class", "--no-pull"});
    auto s = connect(address(*server), options(*server), "test\\static");
    auto items = all<ISWbemObject>(*s->InstancesOf("PG_TestPropertyTypes", 0)->NewEnum());
    ASSERT_EQ(items.size(), 2u);
    // The older operation, once the server refused the pull.
    EXPECT_EQ(calls(*server, "EnumerateInstances").size(), 1u);
    EXPECT_EQ(items[1]->Path_()->RelPath(),
              "PG_TestPropertyTypes.CreationClassName=\"PG_TestPropertyTypes\",InstanceId=2");
    EXPECT_EQ(value(*items[1], "PropertySint8").asInt(), -122);
    EXPECT_EQ(items[1]->Properties_()->Item("PropertyReal32", 0)->CIMType(), CimType::Real32);
}

TEST(CimxmlService, EarlyStopClosesTheEnumeration) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({"--batch", "1"});
    auto s = connect(address(*server), options(*server), "test\\static");
    {
        auto set = s->ExecQuery("select * from PG_TestPropertyTypes", "WQL",
                                flags::ReturnImmediately | flags::ForwardOnly);
        auto e = set->NewEnum();
        ElementPtr one;
        ASSERT_EQ(e->Next(one), hr::Ok);
    }
    EXPECT_TRUE(calls(*server, "PullInstancesWithPath").empty());
    ASSERT_EQ(calls(*server, "CloseEnumeration").size(), 1u);
}

TEST(CimxmlService, QueryTheServerRefusesRunsAsAFilteredEnumeration) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({});
    auto s = connect(address(*server), options(*server), "test\\static");
    auto items = all<ISWbemObject>(*s->ExecQuery("select InstanceId, PropertyString from "
                                                 "PG_TestPropertyTypes where PropertyUint32 > 3200 "
                                                 "and PropertyString like 'PG_%'",
                                                 "WQL", 0)
                                        ->NewEnum());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(value(*items[0], "InstanceId").asString(), "2");
    auto props = names(*items[0]->Properties_());
    EXPECT_EQ(props, (std::vector<std::string>{"InstanceId", "PropertyString"}));
    // Asked as WQL first; refused once, the session does not ask again.
    EXPECT_EQ(calls(*server, "ExecQuery").size(), 1u);
    s->ExecQuery("select * from PG_TestPropertyTypes where InstanceId = 1", "WQL", 0);
    EXPECT_EQ(calls(*server, "ExecQuery").size(), 1u);
    EXPECT_EQ(calls(*server, "OpenEnumerateInstances").size(), 2u);
    // Names the class does not have fail as they do locally.
    EXPECT_EQ(failure([&] { s->ExecQuery("select Nope from PG_TestPropertyTypes", "WQL", 0); }),
              hr::InvalidQuery);
    EXPECT_EQ(failure([&] { s->ExecQuery("select * from No_Such_Class", "WQL", 0); }),
              hr::InvalidClass);
}

TEST(CimxmlService, AssociatorsAndNamespaces) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({});
    auto s = connect(address(*server), options(*server), "test\\static");
    auto items = all<ISWbemObject>(
        *s->ExecQuery(
              "ASSOCIATORS OF {PG_TestPropertyTypes.CreationClassName=\"PG_TestPropertyTypes\","
              "InstanceId=1} WHERE ResultClass = PG_TestPropertyTypes Role = Antecedent",
              "WQL", 0)
             ->NewEnum());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(value(*items[0], "InstanceId").asString(), "2");
    auto asked = calls(*server, "Associators");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("resultclass=pg_testpropertytypes"), std::string::npos) << asked[0];
    EXPECT_NE(asked[0].find("role=antecedent"), std::string::npos) << asked[0];

    // The namespace tree: children of a namespace, from the interop namespace.
    for (auto [nspace, expected] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"root", {"cimv2", "interop"}}, {"test", {"cimv2", "static"}}}) {
        auto ns = connect(address(*server), options(*server), nspace);
        std::vector<std::string> children;
        for (const auto& o :
             all<ISWbemObject>(*ns->ExecQuery("select Name from __NAMESPACE", "WQL", 0)->NewEnum()))
            children.push_back(value(*o, "Name").asString());
        EXPECT_EQ(children, expected) << nspace;
    }
}

TEST(CimxmlService, ServerErrorsMapToWmiCodesWithTheServersReason) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({});
    std::string text;
    // CIM status 3 in <ERROR>.
    EXPECT_EQ(failure([&] { connect(address(*server), options(*server), "test\\NoSuch"); }, &text),
              hr::InvalidNamespace);
    auto s = connect(address(*server), options(*server), "test\\cimv2");
    // CIM status 6, the server's description kept.
    EXPECT_EQ(failure([&] { s->Get("NotAClass", 0); }, &text), hr::NotFound);
    EXPECT_NE(text.find("NotAClass"), std::string::npos) << text;
    // HTTP 400 with CIMError and the server's detail.
    EXPECT_EQ(failure([&] { s->InstancesOf("Cimscope_BadRequest", 0); }, &text),
              hr::InvalidParameter);
    EXPECT_NE(text.find("request-not-valid"), std::string::npos) << text;
    EXPECT_NE(text.find("Expected VALUE element"), std::string::npos) << text;
}

TEST(CimxmlService, TlsWithCaFileAndBasicAuthentication) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({"--tls", "--user", kUser, "--password", kPassword});
    const RemoteOptions o = options(*server);
    auto s = connect(address(*server, "cimxmls"), o, "test\\static", kUser, kPassword);
    EXPECT_EQ(s->InstancesOf("PG_TestPropertyTypes", 0)->Count(), 2);
    // The same server by an https URL on the CIM-XML port would need 5989;
    // a wrong password is Access is denied.
    std::string text;
    EXPECT_EQ(failure([&] { connect(address(*server, "cimxmls"), o, "test\\static", kUser, "x"); },
                      &text),
              hr::AccessDeniedSystem);
    EXPECT_EQ(text.find(kPassword), std::string::npos);
    // Without the CA file the certificate does not verify.
    RemoteOptions noCa = o;
    noCa.caFile.clear();
    EXPECT_EQ(
        failure(
            [&] { connect(address(*server, "cimxmls"), noCa, "test\\static", kUser, kPassword); },
            &text),
        hr::SecureFailure);
    EXPECT_NE(text.find("127.0.0.1"), std::string::npos) << text;
}

TEST(CimxmlService, BasicOverPlainHttpOnlyWhenAllowed) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({"--user", kUser, "--password", kPassword});
    RemoteOptions o = options(*server);
    std::string text;
    EXPECT_EQ(
        failure([&] { connect(address(*server), o, "test\\static", kUser, kPassword); }, &text),
        hr::AccessDeniedSystem);
    EXPECT_NE(text.find("plain HTTP"), std::string::npos) << text;
    EXPECT_TRUE(server->logLines().empty());  // nothing was sent
    o.allowUnencrypted = true;
    EXPECT_EQ(connect(address(*server), o, "test\\static", kUser, kPassword)
                  ->InstancesOf("PG_TestPropertyTypes", 0)
                  ->Count(),
              2);
    // Kerberos and NTLM have no counterpart on WBEM servers.
    o.auth = AuthMethod::Kerberos;
    EXPECT_EQ(failure([&] { connect(address(*server), o, "test\\static", kUser, kPassword); }),
              hr::AccessDeniedSystem);
}

TEST(CimxmlService, AllTypesEmbeddedObjectsAndMethodsFromPywbemCases) {
    SKIP_WITHOUT_REPLAY();
    const std::string cases = std::string(CIMSCOPE_FIXTURES) + "/cimxml/pywbem";
    if (!std::filesystem::is_directory(cases)) GTEST_SKIP() << "no pywbem cases at " << cases;
    if (::access("/usr/lib/python3/dist-packages/yaml/__init__.py", R_OK) != 0)
        GTEST_SKIP() << "python3-yaml is not installed (the pywbem cases are YAML)";
    auto server = start({"--pywbem", cases});
    auto s = connect(address(*server), options(*server), "root\\cimv2");

    // Typed by the reply's TYPE attributes: the server has no class for it.
    auto all = s->Get("PyWBEM_AllTypes.ID=\"42\"", 0);
    EXPECT_EQ(all->Path_()->RelPath(), "PyWBEM_AllTypes.ID=\"42\"");
    const struct {
        const char* name;
        VarType type;
        const char* text;  // for strings
        double number;     // for the others
    } values[] = {
        {"PString", VarType::String, "Fritz", 0},
        {"PChar16", VarType::Int16, nullptr, 'F'},
        {"PUint8", VarType::UInt8, nullptr, 8},
        {"PUint16", VarType::Int32, nullptr, 16},
        {"PSint8", VarType::Int16, nullptr, -8},
        {"PSint32", VarType::Int32, nullptr, -32},
        {"PUint64", VarType::String, "64", 0},
        {"PSint64", VarType::String, "-64", 0},
        {"PReal64", VarType::Real64, nullptr, 64.125},
        {"PDatetime1", VarType::String, "20160318201500.123456-060", 0},
        {"PDatetime2", VarType::String, "00001234567890.123456:000", 0},
        {"pRef1", VarType::String, "PyWBEM_End1.ID=\"1\"", 0},
    };
    for (const auto& v : values) {
        Variant got = value(*all, v.name);
        EXPECT_EQ(got.type(), v.type) << v.name;
        if (v.text)
            EXPECT_EQ(got.asString(), v.text) << v.name;
        else
            EXPECT_DOUBLE_EQ(got.asReal(), v.number) << v.name;
    }
    EXPECT_NEAR(value(*all, "PReal32").asReal(), -32.1, 1e-5);
    Variant embedded = value(*all, "pEmbeddedInst");
    ASSERT_EQ(embedded.type(), VarType::Object);
    EXPECT_EQ(value(*embedded.asObject(), "ID").asString(), "2");

    Variant person = value(*s->Get("PyWBEM_Person.Name=\"Fritz\"", 0), "Address");
    ASSERT_EQ(person.type(), VarType::Object);
    EXPECT_EQ(person.asObject()->Path_()->Class(), "PyWBEM_Address");
    EXPECT_EQ(value(*person.asObject(), "Street").asString(), "Fritz Ave");

    // A static method: the request names the class, the reply's out-parameters
    // come typed by their PARAMTYPE.
    auto provider = connect(address(*server), options(*server), "test\\TestProvider");
    auto out = provider->ExecMethod("Test_IndicationProviderClass", "GetTestIndicationsCount", {});
    EXPECT_EQ(value(*out, "ReturnValue").asInt(), 0);
    EXPECT_EQ(value(*out, "indicationDropCount").asReal(), 42);
    EXPECT_EQ(out->Properties_()->Item("indicationDropCount", 0)->CIMType(), CimType::UInt32);
    EXPECT_FALSE(
        calls(*server, "GetTestIndicationsCount test/TestProvider:Test_IndicationProviderClass")
            .empty());

    // A method of an instance, whose out-parameter is an embedded instance.
    auto getAddress = s->ExecMethod("PyWBEM_Person.Name=\"Fritz\"", "GetAddress", {});
    Variant output = value(*getAddress, "OutputAddress");
    ASSERT_EQ(output.type(), VarType::Object);
    EXPECT_EQ(value(*output.asObject(), "Town").asString(), "Fritz Town");
}

TEST(CimxmlService, TheNextConnectionReusesTheIdleSession) {
    SKIP_WITHOUT_REPLAY();
    auto server = start({});
    const auto o = options(*server);
    connect(address(*server), o, "test\\cimv2")->Get("CIM_InstalledProductImage", 0);
    const size_t probes = calls(*server, "EnumerateClassNames").size();
    const size_t gets = calls(*server, "GetClass").size();
    // The window connects anew for each click: no new login probe, and the
    // class comes from the reused session's cache.
    connect(address(*server), o, "test\\cimv2")->Get("CIM_InstalledProductImage", 0);
    EXPECT_EQ(calls(*server, "EnumerateClassNames").size(), probes);
    EXPECT_EQ(calls(*server, "GetClass").size(), gets);
    // Other credentials never get that session.
    auto clear = o;
    clear.allowUnencrypted = true;
    connect(address(*server), clear, "test\\cimv2", "someone", "pw");
    EXPECT_EQ(calls(*server, "EnumerateClassNames").size(), probes + 1);
}
