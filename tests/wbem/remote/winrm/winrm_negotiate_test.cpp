// Negotiate (NTLM through gss-ntlmssp, Kerberos through MIT krb5) with
// WinRM's message encryption, against the replay server acting as a Windows
// host that takes Negotiate only; python3-winrm as an independent client of
// the same server; and the framing and header reading on their own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "../object_model_test_util.h"
#include "replay_server.h"
#include "wbem/api.h"
#include "wbem/remote/winrm/gss_context.h"
#include "wbem/remote/winrm/transport.h"
#include "wbem/remote/winrm/wsman_encryption.h"
#include "wbem/remote_options.h"

extern char** environ;

using namespace wbem;
using namespace wbem::winrm;
using wbem::test::ReplayServer;

namespace {

using wbem::test::failure;

constexpr const char* kUser = "TEST\\u";
constexpr const char* kPassword = "Pa55-w0rd";

// No test may pick up a Kerberos ticket or realm of the machine it runs on.
class NoKerberosHere : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("KRB5CCNAME", "FILE:/nonexistent-cimscope-test/krb5cc", 1);
        setenv("KRB5_CONFIG", "/dev/null", 1);
    }
};
[[maybe_unused]] const auto* const kNoKerberos =
    ::testing::AddGlobalTestEnvironment(new NoKerberosHere);

#define SKIP_WITHOUT_NEGOTIATE()                                                \
    do {                                                                        \
        std::string reason;                                                     \
        if (!ReplayServer::negotiateAvailable(&reason)) GTEST_SKIP() << reason; \
    } while (0)

std::vector<std::string> serverArgs(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--negotiate",
                                     std::string(kUser).replace(4, 1, ":") + ":" + kPassword};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

RemoteOptions ntlmOptions(AuthMethod method = AuthMethod::Ntlm) {
    RemoteOptions o;
    o.auth = method;
    o.connectTimeoutMs = 5000;
    o.operationTimeoutMs = 20000;
    return o;
}

// A transport of its own to the server, with NTLM and the test user.
std::unique_ptr<Transport> ntlmTransport(const ReplayServer& server) {
    auto endpoint = parseEndpoint(server.url("http"));
    if (!endpoint) throw std::runtime_error("no endpoint for " + server.url("http"));
    TransportOptions t;
    t.remote = ntlmOptions();
    t.user = kUser;
    t.password = kPassword;
    return std::make_unique<Transport>(*endpoint, t);
}

std::shared_ptr<ISWbemServices> connect(const std::string& url, const RemoteOptions& options,
                                        const std::string& user = kUser,
                                        const std::string& password = kPassword, int level = 0) {
    auto locator = CreateLocator();
    if (level) locator->Security_().SetAuthenticationLevel(level);
    return locator->ConnectServer(url, "root\\cimv2", user, password, {}, {}, 0, &options);
}

std::vector<std::string> processNames(ISWbemServices& s) {
    std::vector<std::string> out;
    auto e = s.ExecQuery("select Name from Win32_Process", "WQL", 0)->NewEnum();
    ElementPtr el;
    while (e->Next(el) == hr::Ok)
        out.push_back(std::dynamic_pointer_cast<ISWbemObject>(el)
                          ->Properties_()
                          ->Item("Name", 0)
                          ->Value()
                          .asString());
    return out;
}

size_t count(const std::vector<std::string>& lines, std::string_view what) {
    size_t n = 0;
    for (const auto& l : lines) n += l.find(what) != std::string::npos;
    return n;
}

// The data requests of a log: every line but the handshakes.
std::vector<std::string> dataLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind("Handshake ", 0) != 0) out.push_back(l);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// --- framing and headers, without a server -------------------------------

TEST(WsmanEncryption, SealedFramingIsTakenApartOnlyWhenWellFormed) {
    const std::string head =
        "--Encrypted Boundary\r\n"
        "\tContent-Type: application/HTTP-SPNEGO-session-encrypted\r\n"
        "\tOriginalContent: type=application/soap+xml;charset=UTF-8;Length=5\r\n"
        "--Encrypted Boundary\r\n"
        "\tContent-Type: application/octet-stream\r\n";
    const std::string end = "--Encrypted Boundary--\r\n";
    const std::string sig(16, 'S');
    auto len = [](uint32_t n) {
        return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    };
    const std::string good = head + len(16) + sig + "DATA!" + end;

    auto parts = splitSealed(good);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->protocol, "application/HTTP-SPNEGO-session-encrypted");
    EXPECT_EQ(parts->originalType, "application/soap+xml;charset=UTF-8");
    EXPECT_EQ(parts->originalLength, 5u);
    EXPECT_EQ(parts->signature, sig);
    EXPECT_EQ(parts->data, "DATA!");

    const struct {
        const char* what;
        std::string body;
    } broken[] = {
        {"empty", ""},
        {"no end boundary", head + len(16) + sig + "DATA!"},
        {"signature length zero", head + len(0) + sig + "DATA!" + end},
        {"signature longer than the payload", head + len(4096) + sig + "DATA!" + end},
        {"signature length cut short", head + "\x10\x00" + end},
        {"no octet-stream part",
         head.substr(0, head.rfind("\tContent-Type")) + len(16) + sig + end},
        {"length not a number", std::string(good).replace(good.find("Length=5"), 8, "Length=x")},
        {"length absurdly long",
         std::string(good).replace(good.find("Length=5"), 8, "Length=99999999999")},
        {"unknown header line", std::string(good).insert(good.find("\tOriginal"), "\tX: y\r\n")},
    };
    for (const auto& b : broken) EXPECT_FALSE(splitSealed(b.body)) << b.what;
}

TEST(WsmanEncryption, NegotiateChallengesAndBase64) {
    const struct {
        std::vector<std::string> headers;
        std::optional<std::string> token;
    } cases[] = {
        {{"Negotiate"}, ""},
        {{"Negotiate TlRMTVNTUAAC"}, std::string("NTLMSSP\0\x02", 9)},
        {{"Basic realm=\"WSMAN\"", "negotiate TlRMTVNTUAAC"}, std::string("NTLMSSP\0\x02", 9)},
        {{"NTLM, Negotiate"}, ""},
        {{"Basic realm=\"WSMAN\""}, std::nullopt},
        {{"NegotiateX abc="}, std::nullopt},
        {{"Negotiate not*base64"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(negotiateChallenge(c.headers), c.token) << c.headers.size();

    // Every length's padding, and bytes of all values, survive the round trip.
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += char(i);
    for (size_t n = 0; n < 7; ++n)
        EXPECT_EQ(base64Decode(base64Encode(bytes.substr(250 - n))), bytes.substr(250 - n));
    EXPECT_EQ(base64Encode("Man"), "TWFu");
    EXPECT_EQ(base64Encode("Ma"), "TWE=");
    EXPECT_FALSE(base64Decode("TWE"));
    EXPECT_FALSE(base64Decode("T=Fu"));
}

TEST(GssNames, ServiceNameIsHttpAtTheHost) {
    EXPECT_EQ(gssServiceName("server.corp.example"), "HTTP@server.corp.example");
    EXPECT_EQ(gssServiceName("[fe80::1]"), "HTTP@fe80::1");
    EXPECT_EQ(gssServiceName("10.0.0.7"), "HTTP@10.0.0.7");
}

// --- against the Negotiate replay server -----------------------------------

TEST(WinrmNegotiate, NtlmQueriesAndClassesGoSealedOverHttp) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer server(ReplayServer::Options{serverArgs(), true});
    for (AuthMethod method : {AuthMethod::Ntlm, AuthMethod::Negotiate}) {
        auto s = connect(server.url("http"), ntlmOptions(method));
        EXPECT_EQ(processNames(*s), (std::vector<std::string>{"System Idle Process", "System"}));
        auto classes = s->SubclassesOf({}, 0);
        EXPECT_GE(classes->Count(), 2);
        EXPECT_EQ(s->Get("Win32_Process", 0)->Path_()->Class(), "Win32_Process");
    }
    const auto lines = server.logLines();
    // One handshake per connection (one per method), every message sealed.
    EXPECT_EQ(count(lines, "Handshake - - auth-ok user=TEST\\u"), 2u) << lines.size();
    const auto data = dataLines(lines);
    ASSERT_GE(data.size(), 8u);
    for (const auto& l : data) EXPECT_NE(l.find(" sealed frame="), std::string::npos) << l;
}

TEST(WinrmNegotiate, OverHttpsTlsCarriesTheMessagesUnsealed) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer server(ReplayServer::Options{serverArgs({"--tls"}), true});
    RemoteOptions o = ntlmOptions();
    o.caFile = server.caCertPath();
    auto s = connect(server.url("https"), o);
    EXPECT_EQ(processNames(*s), (std::vector<std::string>{"System Idle Process", "System"}));
    const auto lines = server.logLines();
    EXPECT_EQ(count(lines, "Handshake - - auth-ok"), 1u);
    const auto data = dataLines(lines);
    ASSERT_GE(data.size(), 2u);
    for (const auto& l : data) EXPECT_NE(l.find(" plain"), std::string::npos) << l;
}

TEST(WinrmNegotiate, RefusedCredentialsAndMissingTicketsAreAccessDenied) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer server(ReplayServer::Options{serverArgs(), true});
    const std::string url = server.url("http");
    std::string text;
    const struct {
        AuthMethod method;
        const char* user;
        const char* password;
        const char* reason;
    } cases[] = {
        {AuthMethod::Ntlm, kUser, "wrong-one",
         "refused the NTLM credentials of TEST\\u: unknown user or wrong password"},
        {AuthMethod::Negotiate, "TEST\\nobody", kPassword,
         "refused the NTLM credentials of TEST\\nobody"},
        {AuthMethod::Ntlm, kUser, "", "NTLM needs a user name"},
        {AuthMethod::Kerberos, "", "", "No Kerberos ticket (run kinit first"},
        // Negotiate without a password has only Kerberos to try.
        {AuthMethod::Negotiate, "", "", "No Kerberos ticket"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failure([&] { connect(url, ntlmOptions(c.method), c.user, c.password); }, &text),
                  hr::AccessDeniedSystem)
            << c.reason;
        EXPECT_EQ(text.rfind("Access is denied. ", 0), 0u) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        if (*c.password) {
            EXPECT_EQ(text.find(c.password), std::string::npos) << text;
        }
    }
    EXPECT_EQ(count(server.logLines(), " sealed"), 0u);
}

TEST(WinrmNegotiate, AReplyWhoseSignatureFailsIsRefusedUnread) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer server(ReplayServer::Options{serverArgs({"--break-signature"}), true});
    auto transportPtr = ntlmTransport(server);
    Transport& transport = *transportPtr;
    const std::string envelope = readFile(ReplayServer::fixturePath("requests/enumerate_wql.xml"));
    ASSERT_FALSE(envelope.empty());
    std::string text;
    // The sealed data is intact and would parse; only the signature is off.
    EXPECT_EQ(failure([&] { transport.post(envelope); }, &text), hr::SecureFailure);
    EXPECT_NE(text.find("failed its integrity check and was not read"), std::string::npos) << text;
    // The server did get and open the request.
    EXPECT_EQ(count(server.logLines(), "Enumerate"), 1u);
    // The next request starts over on a new connection with a new context.
    HttpReply reply = transport.post(envelope);
    EXPECT_TRUE(reply.encrypted);
    EXPECT_NE(reply.body.find("EnumerateResponse"), std::string::npos);
    EXPECT_EQ(count(server.logLines(), "Handshake - - auth-ok"), 2u);
}

TEST(WinrmNegotiate, AConnectionDroppedBetweenRequestsIsAuthenticatedAgain) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer server(ReplayServer::Options{serverArgs({"--drop"}), true});
    auto s = connect(server.url("http"), ntlmOptions());
    EXPECT_EQ(processNames(*s), (std::vector<std::string>{"System Idle Process", "System"}));
    EXPECT_EQ(s->Get("Win32_Process", 0)->Path_()->Class(), "Win32_Process");
    const auto lines = server.logLines();
    const auto data = dataLines(lines);
    ASSERT_GE(data.size(), 3u);
    // Each request after the first found its connection gone: a new handshake each.
    EXPECT_EQ(count(lines, "Handshake - - auth-ok"), data.size());
    for (const auto& l : data) EXPECT_NE(l.find(" sealed"), std::string::npos) << l;
}

TEST(WinrmNegotiate, PacketPrivacyRefusesWhatWouldGoUnencrypted) {
    SKIP_WITHOUT_NEGOTIATE();
    ReplayServer basic(ReplayServer::Options{{"--user", "alice", "--password", "pw-basic"}, true});
    RemoteOptions o = ntlmOptions(AuthMethod::Basic);
    o.allowUnencrypted = true;
    std::string text;
    EXPECT_EQ(failure([&] { connect(basic.url("http"), o, "alice", "pw-basic", 6); }, &text),
              hr::AccessDeniedSystem);
    EXPECT_NE(text.find("Packet Privacy needs encryption"), std::string::npos) << text;
    for (const auto& l : basic.logLines()) EXPECT_EQ(l.rfind("Identify ", 0), 0u) << l;
    // Below that level the same is allowed, as the user asked.
    EXPECT_EQ(failure([&] { connect(basic.url("http"), o, "alice", "pw-basic", 5); }), hr::Ok);

    ReplayServer negotiate(ReplayServer::Options{serverArgs(), true});
    EXPECT_EQ(failure([&] {
                  processNames(*connect(negotiate.url("http"), ntlmOptions(), kUser, kPassword, 6));
              }),
              hr::Ok);
}

// python3-winrm seals with its own NTLM code (ntlm-auth), not gss-ntlmssp.
TEST(WinrmNegotiate, Python3WinrmAndWeSealTheSameWay) {
    SKIP_WITHOUT_NEGOTIATE();
    {
        pid_t pid;
        const char* probe[] = {"/usr/bin/python3", "-c", "import winrm", nullptr};
        ASSERT_EQ(posix_spawn(&pid, probe[0], nullptr, nullptr, const_cast<char**>(probe), environ),
                  0);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            GTEST_SKIP() << "python3-winrm is not installed (scripts/setup installs it)";
    }
    ReplayServer server(ReplayServer::Options{serverArgs(), true});
    const std::string request = ReplayServer::fixturePath("requests/enumerate_wql.xml");
    const std::string envelope = readFile(request);
    ASSERT_FALSE(envelope.empty());

    // python3-winrm's sealed request must open on our server, and our
    // server's sealed reply must open in python3-winrm.
    std::string script = CIMSCOPE_WINRM_REPLAY;
    script = script.substr(0, script.rfind('/') + 1) + "winrm_crosscheck.py";
    char out[] = "/tmp/cimscope-crosscheck-XXXXXX";
    int fd = mkstemp(out);
    ASSERT_GE(fd, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fd, STDERR_FILENO);
    std::vector<std::string> argv = {"/usr/bin/python3", script, server.url("http"), kUser,
                                     kPassword,          request};
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string said = readFile(out);
    unlink(out);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    EXPECT_EQ(said, "EnumerateResponse\n");

    // The same envelope through our transport.
    auto transportPtr = ntlmTransport(server);
    Transport& transport = *transportPtr;
    HttpReply reply = transport.post(envelope);
    EXPECT_TRUE(reply.encrypted);
    EXPECT_NE(reply.body.find("EnumerateResponse"), std::string::npos);

    // Both requests framed alike: headers, signature length, sealed length.
    std::vector<std::string> frames;
    for (const auto& l : server.logLines())
        if (auto at = l.find(" frame="); at != std::string::npos) frames.push_back(l.substr(at));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], frames[1]);
    EXPECT_NE(frames[0].find("|16|" + std::to_string(envelope.size()) + "|"), std::string::npos)
        << frames[0];
}

// --- Kerberos against a KDC of its own on 127.0.0.1 --------------------------

namespace {

// loopback_kdc.py: a realm made for the test, stopped when this goes.
class LoopbackKdc {
  public:
    static bool available(std::string* reason) {
        for (const char* tool : {"/usr/sbin/krb5kdc", "/usr/sbin/kdb5_util",
                                 "/usr/sbin/kadmin.local", "/usr/bin/kinit"})
            if (::access(tool, X_OK) != 0) {
                *reason = std::string(tool) +
                          " is missing (Debian: krb5-kdc, krb5-admin-server, krb5-user)";
                return false;
            }
        return true;
    }

    explicit LoopbackKdc(const std::string& password) {
        std::string script = CIMSCOPE_WINRM_REPLAY;
        script = script.substr(0, script.rfind('/') + 1) + "loopback_kdc.py";
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<std::string> argv = {"/usr/bin/python3", script, "--password", password};
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        if (rc != 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start loopback_kdc.py");
        }
        // One line, "DIR <folder>", once the KDC answers (bounded by the
        // script's own deadline; a failure closes the pipe).
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        if (line.rfind("DIR ", 0) != 0) throw std::runtime_error("the loopback KDC did not start");
        dir_ = line.substr(4);
    }
    ~LoopbackKdc() {
        ::close(stdin_);
        int status;
        ::waitpid(pid_, &status, 0);
    }
    const std::string& dir() const { return dir_; }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string dir_;
};

}  // namespace

TEST(WinrmKerberos, TicketCacheAndPasswordAgainstALoopbackRealm) {
    SKIP_WITHOUT_NEGOTIATE();
    std::string reason;
    if (!LoopbackKdc::available(&reason)) GTEST_SKIP() << reason;
    LoopbackKdc kdc("alice-Pw1");
    setenv("KRB5_CONFIG", (kdc.dir() + "/krb5.conf").c_str(), 1);
    setenv("KRB5CCNAME", ("FILE:" + kdc.dir() + "/cc").c_str(), 1);
    struct Restore {
        ~Restore() { NoKerberosHere().SetUp(); }
    } restore;
    ReplayServer server(
        ReplayServer::Options{serverArgs({"--keytab", kdc.dir() + "/http.keytab"}), true});
    const std::string url = server.url("http");

    // As after kinit: no user, no password, the default Negotiate.
    auto s = connect(url, ntlmOptions(AuthMethod::Negotiate), "", "");
    EXPECT_EQ(processNames(*s), (std::vector<std::string>{"System Idle Process", "System"}));
    EXPECT_EQ(s->Get("Win32_Process", 0)->Path_()->Class(), "Win32_Process");

    // No ticket, user@REALM and a password.
    setenv("KRB5CCNAME", ("FILE:" + kdc.dir() + "/none").c_str(), 1);
    s = connect(url, ntlmOptions(AuthMethod::Kerberos), "alice@CIMSCOPE.TEST", "alice-Pw1");
    EXPECT_EQ(processNames(*s).size(), 2u);
    std::string text;
    EXPECT_EQ(
        failure(
            [&] { connect(url, ntlmOptions(AuthMethod::Kerberos), "alice@CIMSCOPE.TEST", "nope"); },
            &text),
        hr::AccessDeniedSystem);
    EXPECT_EQ(text.rfind("Access is denied. ", 0), 0u) << text;

    const auto lines = server.logLines();
    EXPECT_EQ(count(lines, "Handshake - - auth-ok user=alice@CIMSCOPE.TEST"), 2u);
    EXPECT_EQ(count(lines, "user=TEST"), 0u);  // no fallback to NTLM
    const auto data = dataLines(lines);
    ASSERT_GE(data.size(), 4u);
    for (const auto& l : data) EXPECT_NE(l.find(" sealed frame="), std::string::npos) << l;
}
