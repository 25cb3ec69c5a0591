// The WinRM back end through the scripting object model, against the replay
// server of recorded Windows replies on 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <set>

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

#define SKIP_WITHOUT_REPLAY()                                          \
    do {                                                               \
        std::string reason;                                            \
        if (!ReplayServer::available(&reason)) GTEST_SKIP() << reason; \
    } while (0)

RemoteOptions basicOptions(const ReplayServer& server) {
    RemoteOptions o;
    o.auth = AuthMethod::Basic;
    o.caFile = server.caCertPath();
    // A loaded machine can take seconds for a TLS handshake with the replay
    // server; the tests that wait for a timeout set their own.
    o.connectTimeoutMs = 15000;
    o.operationTimeoutMs = 20000;
    return o;
}

std::shared_ptr<ISWbemServices> connect(const std::string& url, const RemoteOptions& options,
                                        const std::string& nspace = "root\\cimv2",
                                        const std::string& user = kUser,
                                        const std::string& password = kPassword) {
    return CreateLocator()->ConnectServer(url, nspace, user, password, {}, {}, 0, &options);
}

// The code and text a connection and a call fail with; Ok when nothing fails.

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
    return s;
}

class WinrmService : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!ReplayServer::available(nullptr)) return;
        server_ = new ReplayServer(
            ReplayServer::Options{{"--tls", "--user", kUser, "--password", kPassword}, true});
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        std::string reason;
        if (!ReplayServer::available(&reason)) GTEST_SKIP() << reason;
    }
    static std::shared_ptr<ISWbemServices> services(const std::string& nspace = "root\\cimv2") {
        return connect(server_->url("https"), basicOptions(*server_), nspace);
    }
    static ReplayServer* server_;
};

ReplayServer* WinrmService::server_ = nullptr;

}  // namespace

TEST_F(WinrmService, ClassListAndDefinitionsWithMethodsAndParameters) {
    auto s = services();
    std::vector<std::string> classes;
    for (const auto& c : all<ISWbemObject>(*s->SubclassesOf({}, 0)->NewEnum()))
        classes.push_back(c->Path_()->Class());
    for (const char* expected : {"Win32_DiskDrive", "Win32_Process", "CIM_ManagedSystemElement"})
        EXPECT_NE(std::find(classes.begin(), classes.end(), expected), classes.end()) << expected;

    auto disk = s->Get("Win32_DiskDrive", 0);
    EXPECT_TRUE(disk->Path_()->IsClass());
    auto props = names(*disk->Properties_());
    EXPECT_GT(props.size(), 40u);
    EXPECT_TRUE(std::is_sorted(props.begin(), props.end(), [](auto& a, auto& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));
    auto size = disk->Properties_()->Item("size", 0);
    EXPECT_EQ(size->CIMType(), CimType::UInt64);
    EXPECT_EQ(size->Origin(), "Win32_DiskDrive");
    EXPECT_EQ(disk->Properties_()->Item("Availability", 0)->Origin(), "CIM_LogicalDevice");
    auto caps = disk->Properties_()->Item("Capabilities", 0);
    EXPECT_TRUE(caps->IsArray());
    // The metadata's qualifiers through the object model.
    auto deviceId = disk->Properties_()->Item("DeviceID", 0)->Qualifiers_();
    EXPECT_TRUE(deviceId->Item("key")->Value().asBool());
    EXPECT_EQ(deviceId->Item("CIMTYPE")->Value().asString(), "string");

    auto method = disk->Methods_()->Item("SetPowerState", 0);
    EXPECT_EQ(joined(names(*method->InParameters()->Properties_())), "PowerState, Time");
    EXPECT_EQ(joined(names(*method->OutParameters()->Properties_())), "ReturnValue");

    auto process = s->Get("Win32_Process", 0);
    auto create = process->Methods_()->Item("Create", 0);
    EXPECT_EQ(joined(names(*create->InParameters()->Properties_())),
              "CommandLine, CurrentDirectory");
    EXPECT_EQ(joined(names(*create->OutParameters()->Properties_())), "ProcessId, ReturnValue");
    // Subclasses through the object, as WMI's own objects answer.
    EXPECT_GE(
        all<ISWbemObject>(*s->Get("CIM_ManagedSystemElement", 0)->Subclasses_(0)->NewEnum()).size(),
        1u);
}

TEST_F(WinrmService, QueriesGiveTypedObjectsWithPaths) {
    auto s = services();
    auto set = s->ExecQuery("select * from Win32_DiskDrive", "WQL", 0);
    EXPECT_EQ(set->Count(), 4);
    auto disks = all<ISWbemObject>(*set->NewEnum());
    ASSERT_EQ(disks.size(), 4u);
    std::set<std::string> paths;
    for (const auto& d : disks) paths.insert(d->Path_()->RelPath());
    EXPECT_EQ(paths.size(), 4u);
    EXPECT_EQ(*paths.begin(), "Win32_DiskDrive.DeviceID=\"\\\\\\\\.\\\\PHYSICALDRIVE0\"");
    EXPECT_EQ(disks[0]->Path_()->Server(), "127.0.0.1");
    Variant bytes = disks[0]->Properties_()->Item("BytesPerSector", 0)->Value();
    EXPECT_EQ(bytes.type(), VarType::Int32);
    EXPECT_EQ(bytes.asInt(), 512);
    Variant size = disks[0]->Properties_()->Item("Size", 0)->Value();
    EXPECT_EQ(size.type(), VarType::String);  // uint64 as WMI hands it out
    EXPECT_TRUE(disks[0]->Properties_()->Item("Availability", 0)->Value().isNull());
    EXPECT_TRUE(disks[0]->Properties_()->Item("Capabilities", 0)->Value().isArray());
    // The set can be walked again.
    EXPECT_EQ(all<ISWbemObject>(*set->NewEnum()).size(), 4u);

    // A projection gives partial objects.
    auto partial = all<ISWbemObject>(
        *s->ExecQuery("select Name, Handle from Win32_Process", "WQL", 0)->NewEnum());
    ASSERT_FALSE(partial.empty());
    // The replay server sends whole objects whatever is selected; only the
    // selected properties are shown, and without the key the path is empty.
    EXPECT_EQ(joined(names(*partial[0]->Properties_())), "Handle, Name");
    auto nameOnly =
        all<ISWbemObject>(*s->ExecQuery("select name from Win32_Process", "WQL", 0)->NewEnum());
    EXPECT_EQ(joined(names(*nameOnly[0]->Properties_())), "Name");
    EXPECT_EQ(nameOnly[0]->Path_()->RelPath(), "");

    // A path's object, by its keys.
    auto one = s->Get(disks[1]->Path_()->Path(), 0);
    EXPECT_EQ(one->Properties_()->Item("DeviceID", 0)->Value().asString(),
              disks[1]->Properties_()->Item("DeviceID", 0)->Value().asString());
    // Instances_ of a class object goes to the server too.
    EXPECT_EQ(all<ISWbemObject>(*s->Get("Win32_DiskDrive", 0)->Instances_(0)->NewEnum()).size(),
              4u);
    // ASSOCIATORS OF goes to the server as written.
    EXPECT_EQ(
        all<ISWbemObject>(
            *s->ExecQuery("ASSOCIATORS OF {Win32_ComputerSystem.Name=\"PC\"}", "WQL", 0)->NewEnum())
            .size(),
        4u);
    // Namespaces for the namespace chooser.
    std::vector<std::string> children;
    for (const auto& n : all<ISWbemObject>(
             *services("root")->ExecQuery("select Name from __NAMESPACE", "WQL", 0)->NewEnum()))
        children.push_back(n->Properties_()->Item("Name", 0)->Value().asString());
    EXPECT_NE(std::find(children.begin(), children.end(), "cimv2"), children.end());
}

TEST_F(WinrmService, FaultsCarryWmiCodesAndTheServersReason) {
    auto s = services();
    struct Case {
        const char* query;
        HResult code;
        const char* textStart;
    };
    const Case cases[] = {
        {"select * from Win32_NoSuchClass", hr::InvalidQuery,
         "Invalid query. The specified class does not exist in the given namespace."},
        {"select * from Cimscope_WmiError", hr::Failed, "Generic failure. The WS-Management"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(failure([&] { s->ExecQuery(c.query, "WQL", 0); }, &text), c.code) << c.query;
        EXPECT_EQ(text.rfind(c.textStart, 0), 0u) << text;
        // InstancesOf fails in the call, as WMI checks the class there.
        if (c.code == hr::InvalidQuery) {
            EXPECT_EQ(failure([&] { s->InstancesOf("Win32_NoSuchClass", 48); }), hr::InvalidQuery);
        }
    }
    std::string text;
    EXPECT_EQ(failure([&] { s->Get("Win32_NoSuchClass", 0); }, &text), hr::NotFound);
    EXPECT_EQ(failure([&] { s->ExecQuery("select * from X", "CQL", 0); }), hr::InvalidQueryType);
}

TEST_F(WinrmService, MethodsAreInvokedWithTypedOutParameters) {
    auto s = services();
    // The second call's out-parameters are typed by what the first one kept.
    for (int call = 1; call <= 2; ++call) {
        SCOPED_TRACE(call);
        auto out = s->ExecMethod("Win32_Process", "Create", {{"CommandLine", "notepad.exe"}});
        EXPECT_EQ(out->Properties_()->Item("ReturnValue", 0)->Value().asInt(), 0);
        Variant pid = out->Properties_()->Item("ProcessId", 0)->Value();
        EXPECT_EQ(pid.type(), VarType::Int32);
        EXPECT_EQ(pid.asInt(), 4242);
        // As the embedded service's out-parameters are.
        EXPECT_EQ(out->Properties_()->Item("ProcessId", 0)->Origin(), "__PARAMETERS");
    }
}

TEST_F(WinrmService, ArgumentsGoUnderTheirDeclaredNamesAndUnknownOnesAreRefusedAtHome) {
    auto s = services();
    auto createRequests = [] {
        std::vector<std::string> found;
        for (const auto& line : server_->logLines())
            if (line.find("/Win32_Process/Create ") != std::string::npos) found.push_back(line);
        return found;
    };
    const size_t before = createRequests().size();
    s->ExecMethod("Win32_Process", "Create", {{"  commandline ", "notepad.exe"}});
    auto sent = createRequests();
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_NE(sent.back().find(" params=CommandLine=notepad.exe"), std::string::npos)
        << sent.back();

    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> args;
        const char* says;
    } refused[] = {
        {"unknown name", {{"Signal", "9"}}, "Create has no in-parameter Signal"},
        {"name given twice",
         {{"CommandLine", "a"}, {"commandline ", "b"}},
         "CommandLine is given twice"},
    };
    for (const auto& c : refused) {
        std::string text;
        EXPECT_EQ(failure([&] { s->ExecMethod("Win32_Process", "Create", c.args); }, &text),
                  hr::InvalidParameter)
            << c.what;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.what << ": " << text;
    }
    EXPECT_EQ(createRequests().size(), before + 1) << "a refused call reached the server";
}

TEST_F(WinrmService, NoPasswordReachesTheServerOutsideTheAuthorizationHeader) {
    services()->ExecQuery("select * from Win32_DiskDrive", "WQL", 0);
    auto lines = server_->logLines();
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("password-leak"), std::string::npos) << line;
        EXPECT_NE(line.find("auth-ok"), std::string::npos) << line;
    }
}

TEST(WinrmConnect, RefusedCredentialsHostsAndCertificatesAreClearErrors) {
    SKIP_WITHOUT_REPLAY();
    ReplayServer tls({"--tls", "--user", kUser, "--password", kPassword});
    const std::string url = tls.url("https");
    RemoteOptions ok = basicOptions(tls);
    std::string text;

    EXPECT_EQ(failure([&] { connect(url, ok, "root\\cimv2", kUser, "wrong"); }, &text),
              hr::AccessDeniedSystem);
    EXPECT_EQ(text.rfind("Access is denied.", 0), 0u) << text;
    EXPECT_EQ(text.find("wrong"), std::string::npos) << text;

    RemoteOptions noCa = ok;
    noCa.caFile.clear();
    EXPECT_EQ(failure([&] { connect(url, noCa); }, &text), hr::SecureFailure);
    EXPECT_NE(text.find("certificate of 127.0.0.1"), std::string::npos) << text;

    RemoteOptions negotiate = ok;
    negotiate.auth = AuthMethod::Negotiate;
    // A server that takes Basic only says so.
    EXPECT_EQ(failure([&] { connect(url, negotiate); }, &text), hr::AccessDeniedSystem);
    EXPECT_NE(text.find("does not take Negotiate authentication (it offers Basic)"),
              std::string::npos)
        << text;

    // A port nobody listens on.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    const std::string refused = "https://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    EXPECT_EQ(failure([&] { connect(refused, ok); }, &text), hr::RpcUnavailable);
    EXPECT_EQ(text.rfind("The RPC server is unavailable.", 0), 0u) << text;
    // Unreachable comes first even when the credentials could not be used.
    EXPECT_EQ(failure([&] { connect(refused, negotiate); }), hr::RpcUnavailable);
}

TEST(WinrmConnect, BasicOverPlainHttpOnlyWhenAllowed) {
    SKIP_WITHOUT_REPLAY();
    ReplayServer plain({"--user", kUser, "--password", kPassword});
    RemoteOptions o = basicOptions(plain);
    std::string text;
    EXPECT_EQ(failure([&] { connect(plain.url("http"), o); }, &text), hr::AccessDeniedSystem);
    EXPECT_NE(text.find("in the clear"), std::string::npos) << text;
    o.allowUnencrypted = true;
    EXPECT_EQ(failure([&] { connect(plain.url("http"), o)->Get("Win32_Process", 0); }), hr::Ok);
    // The bare host:port form is WinRM's HTTP listener.
    EXPECT_EQ(failure([&] {
                  connect("127.0.0.1:" + std::to_string(plain.port()), o)
                      ->ExecQuery("select * from Win32_Process", "WQL", 0);
              }),
              hr::Ok);
}

TEST(WinrmConnect, AHostThatNeverAnswersTimesOut) {
    SKIP_WITHOUT_REPLAY();
    ReplayServer hanging({"--hang"});
    RemoteOptions o;
    o.auth = AuthMethod::Basic;
    o.allowUnencrypted = true;
    o.operationTimeoutMs = 1500;
    std::string text;
    EXPECT_EQ(failure([&] { connect(hanging.url("http"), o); }, &text), hr::RpcUnavailable);
    EXPECT_NE(text.find("did not answer in time"), std::string::npos) << text;
}

TEST(WinrmConnect, ServerWithoutClassDefinitionsStillAnswersQueries) {
    SKIP_WITHOUT_REPLAY();
    ReplayServer old({"--profile", "2008r2"});
    RemoteOptions o;
    o.auth = AuthMethod::Basic;
    o.allowUnencrypted = true;
    auto s = connect(old.url("http"), o, "root\\cimv2", "", "");
    std::string text;
    EXPECT_EQ(failure([&] { s->SubclassesOf({}, 0); }, &text), hr::NotSupported);
    EXPECT_NE(text.find("publishes no class definitions"), std::string::npos) << text;
    auto processes =
        all<ISWbemObject>(*s->ExecQuery("select * from Win32_Process", "WQL", 0)->NewEnum());
    ASSERT_EQ(processes.size(), 2u);
    Variant threads = processes[1]->Properties_()->Item("ThreadCount", 0)->Value();
    EXPECT_EQ(threads.type(), VarType::String);  // typed by the XML alone
    EXPECT_EQ(threads.asString(), "76");
    // Without a class definition there are no qualifiers but the type's.
    EXPECT_EQ(processes[1]->Qualifiers_()->Count(), 0);
    auto threadQualifiers = processes[1]->Properties_()->Item("ThreadCount", 0)->Qualifiers_();
    EXPECT_EQ(threadQualifiers->Count(), 1);
    EXPECT_EQ(threadQualifiers->Item("CIMTYPE")->Value().asString(), "string");
    EXPECT_EQ(failure([&] { s->Get("Win32_Process", 0); }), hr::NotSupported);
}

TEST(WinrmConnect, LongResultsStreamAndAnEarlyStopReleasesTheEnumeration) {
    SKIP_WITHOUT_REPLAY();
    ReplayServer many(ReplayServer::Options{{"--repeat", "30001"}, true});
    RemoteOptions o;
    o.auth = AuthMethod::Basic;
    o.allowUnencrypted = true;
    auto s = connect(many.url("http"), o, "root\\cimv2", "", "");
    {
        auto set = s->InstancesOf("Win32_Process", flags::ReturnImmediately | flags::ForwardOnly);
        auto e = set->NewEnum();
        EXPECT_EQ(e->Reset(), hr::InvalidOperation);
        std::set<std::string> handles;
        HResult end = hr::Ok;
        for (const auto& obj : all<ISWbemObject>(*e, &end))
            handles.insert(obj->Properties_()->Item("Handle", 0)->Value().asString());
        EXPECT_EQ(end, hr::False);
        EXPECT_EQ(handles.size(), 30001u);
    }
    auto pulls = [&] {
        auto lines = many.logLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("/Pull") != std::string::npos;
        });
    };
    auto releases = [&] {
        auto lines = many.logLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("/Release") != std::string::npos;
        });
    };
    EXPECT_GT(pulls(), 100);   // batches, not one reply
    EXPECT_EQ(releases(), 0);  // a finished enumeration needs none
    const auto pullsBefore = pulls();
    {
        auto set = s->InstancesOf("Win32_Process", flags::ReturnImmediately | flags::ForwardOnly);
        auto e = set->NewEnum();
        ElementPtr el;
        for (int i = 0; i < 150; ++i) ASSERT_EQ(e->Next(el), hr::Ok);
    }
    EXPECT_EQ(releases(), 1);
    EXPECT_LE(pulls() - pullsBefore, 2);  // nothing fetched ahead of the walk
}
