// The running agent against hostile and clumsy clients on loopback, over
// TLS: logins refused and slowed down, requests refused before their bodies
// are read, dangerous XML refused, a slow client dropped at its time limit,
// write operations and machine-changing methods refused; and through all of
// it a good client is still served.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "agent_process.h"
#include "basic_auth.h"
#include "raw_client.h"

namespace {

using agenttest::AgentProcess;
using agenttest::Clock;
using agenttest::HttpReply;
using agenttest::RawConnection;
using namespace std::chrono_literals;

using agenttest::base64;

std::string goodAuthorization() {
    return "Basic " + base64(std::string(AgentProcess::kUser) + ":" + AgentProcess::kPassword);
}

// A request head announcing a body of `bytes`.
std::string headAnnouncing(size_t bytes) {
    return "POST /cimom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "CIMOperation: MethodCall\r\nCIMMethod: EnumerateClassNames\r\n"
           "Authorization: " +
           goodAuthorization() + "\r\nContent-Length: " + std::to_string(bytes) + "\r\n\r\n";
}

const char* const kXmlDeclaration = R"(<?xml version="1.0" encoding="utf-8"?>)";
const char* const kHead =
    R"(<CIM CIMVERSION="2.0" DTDVERSION="2.0"><MESSAGE ID="7" PROTOCOLVERSION="1.0">)";
const char* const kRootCimv2 =
    R"(<LOCALNAMESPACEPATH><NAMESPACE NAME="root"/><NAMESPACE NAME="cimv2"/></LOCALNAMESPACEPATH>)";

std::string intrinsicBody(const std::string& method, const std::string& params,
                          const std::string& prolog = kXmlDeclaration) {
    return prolog + kHead + "<SIMPLEREQ><IMETHODCALL NAME=\"" + method + "\">" + kRootCimv2 +
           params + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
}

std::string processName(const std::string& pid) {
    return R"(<INSTANCENAME CLASSNAME="Win32_Process"><KEYBINDING NAME="Handle">)"
           R"(<KEYVALUE VALUETYPE="string">)" +
           pid + "</KEYVALUE></KEYBINDING></INSTANCENAME>";
}

const std::string kEnumerateClassNames =
    intrinsicBody("EnumerateClassNames",
                  R"(<IPARAMVALUE NAME="DeepInheritance"><VALUE>TRUE</VALUE></IPARAMVALUE>)");

// A CIM-XML POST; `authorization` empty sends none.
std::string request(const std::string& cimMethod, const std::string& body,
                    const std::string& authorization = goodAuthorization()) {
    std::string r =
        "POST /cimom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/xml; charset=\"utf-8\"\r\n"
        "CIMOperation: MethodCall\r\nCIMMethod: " +
        cimMethod + "\r\nCIMObject: root%2Fcimv2\r\n";
    if (!authorization.empty()) r += "Authorization: " + authorization + "\r\n";
    return r + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class AgentSecurity : public ::testing::Test {
  protected:
    void start(const AgentProcess::Options& options = {}) {
        agent_ = std::make_unique<AgentProcess>(options);
        ASSERT_TRUE(agent_->ok()) << agent_->error();
    }
    void TearDown() override {
        if (agent_ && agent_->ok()) agenttest::expectCleanStop(*agent_);
    }

    // One request on a connection of its own; nullopt when no whole reply came.
    std::optional<HttpReply> exchange(const std::string& bytes) {
        RawConnection c(agent_->port(), agent_->certFile());
        if (!c.ok()) {
            ADD_FAILURE() << c.error();
            return std::nullopt;
        }
        c.send(bytes);
        return c.readReply();
    }

    // A good client's class list: answered, with this machine's classes. The
    // bound is generous for a loaded test machine; a stuck agent misses it.
    ::testing::AssertionResult goodClientServed() {
        RawConnection c(agent_->port(), agent_->certFile(), 15s);
        if (!c.ok()) return ::testing::AssertionFailure() << "good client: " << c.error();
        if (!c.send(request("EnumerateClassNames", kEnumerateClassNames)))
            return ::testing::AssertionFailure() << "good client: the request was not taken";
        const auto reply = c.readReply(15s);
        if (!reply) return ::testing::AssertionFailure() << "good client: no reply within 15 s";
        if (reply->status != 200 || reply->body.find("NAME=\"Win32_Process\"") == std::string::npos)
            return ::testing::AssertionFailure() << "good client: " << reply->status << "\n"
                                                 << reply->body.substr(0, 500);
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<AgentProcess> agent_;
};

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST_F(AgentSecurity, RefusesMissingOrWrongCredentialsAndSlowsDownFailures) {
    ASSERT_NO_FATAL_FAILURE(start());
    // The good client logs in before the failures, so that its logins are
    // remembered and never reset the address's count of failures.
    ASSERT_TRUE(goodClientServed());
    struct Case {
        const char* what;
        std::string authorization;
        double minSeconds;  // failures from one address wait 1 s, then 2 s, ...
    } cases[] = {
        {"no credentials", "", 0},
        {"not Basic", "Negotiate TlRMTVNTUAABAAAAB4IIog==", 0},
        {"not base64", "Basic !!!!", 0},
        {"wrong password", "Basic " + base64(std::string(AgentProcess::kUser) + ":wrong"), 0.9},
        {"unknown user", "Basic " + base64(std::string("nobody:") + AgentProcess::kPassword), 1.9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RawConnection bad(agent_->port(), agent_->certFile());
        ASSERT_TRUE(bad.ok()) << bad.error();
        const auto sent = Clock::now();
        ASSERT_TRUE(
            bad.send(request("EnumerateClassNames", kEnumerateClassNames, c.authorization)));
        if (c.minSeconds > 0) {
            // While the failure is held back, others are served.
            EXPECT_TRUE(goodClientServed());
            EXPECT_FALSE(bad.answered()) << "the good client was served only after the delay, at "
                                         << secondsSince(sent) << " s";
        }
        const auto reply = bad.readReply(15s);
        const double took = secondsSince(sent);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 401);
        EXPECT_EQ(reply->header("www-authenticate").rfind("Basic ", 0), 0u)
            << reply->header("www-authenticate");
        EXPECT_EQ(reply->body.find("CLASSNAME"), std::string::npos);
        EXPECT_GE(took, c.minSeconds);
    }
    EXPECT_TRUE(goodClientServed());
}

TEST_F(AgentSecurity, RefusesAnOversizedRequestFromItsHeadAlone) {
    ASSERT_NO_FATAL_FAILURE(start());
    RawConnection c(agent_->port(), agent_->certFile());
    ASSERT_TRUE(c.ok()) << c.error();
    // Only the head goes out: had the agent waited for the 100 MB it
    // announces, no answer would come.
    ASSERT_TRUE(c.send(headAnnouncing(size_t(100) << 20)));
    const auto reply = c.readReply(10s);
    ASSERT_TRUE(reply) << "no answer to the head";
    EXPECT_EQ(reply->status, 413);
    EXPECT_TRUE(c.closedWithin(5s)) << "the connection stays open for a body it will not read";
    EXPECT_TRUE(goodClientServed());
}

TEST_F(AgentSecurity, AnswersAnOversizedRequestSentWholeBeforeClosing) {
    ASSERT_NO_FATAL_FAILURE(start());
    RawConnection c(agent_->port(), agent_->certFile());
    ASSERT_TRUE(c.ok()) << c.error();
    // A client that sends its body straight after the head must still read
    // the refusal, not a reset connection.
    ASSERT_TRUE(c.send(headAnnouncing(size_t(10) << 20) + std::string(size_t(1) << 20, 'x')));
    const auto reply = c.readReply(10s);
    ASSERT_TRUE(reply) << "no answer, the connection was reset";
    EXPECT_EQ(reply->status, 413);
}

TEST_F(AgentSecurity, IdleConnectionsDoNotLockOthersOut) {
    ASSERT_NO_FATAL_FAILURE(start());
    // More connections that never even start TLS than logins and operations
    // run at once: they hold connection threads until the handshake limit,
    // but the work goes on for others.
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (int i = 0; i < 20; ++i) {
        idle.push_back(std::make_unique<RawConnection>(agent_->port(), ""));
        ASSERT_TRUE(idle.back()->ok()) << idle.back()->error();
    }
    const auto began = Clock::now();
    EXPECT_TRUE(goodClientServed());
    EXPECT_LT(secondsSince(began), 5.0) << "the good client waited for the idle ones";
}

TEST_F(AgentSecurity, RefusesMalformedAndDangerousRequestsAndGoesOnServing) {
    ASSERT_NO_FATAL_FAILURE(start());
    // A file the agent could read, to show that an external entity is never fetched.
    const std::string secretFile = agent_->scratch() + "/secret.txt";
    const std::string secret = "cimscope-secret-7f3a9c";
    std::ofstream(secretFile) << secret << "\n";

    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<VALUE.ARRAY>";
    for (int i = 0; i < 200; ++i) deep += "</VALUE.ARRAY>";
    const std::string classNameParam = R"(<IPARAMVALUE NAME="ClassName">)";
    // Each entity refers ten times to the one before it: 10^10 "lol"s.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE CIM [<!ENTITY a \"lol\">";
    for (char e = 'b'; e <= 'k'; ++e) {
        laughs += std::string("<!ENTITY ") + e + " \"";
        for (int k = 0; k < 10; ++k) laughs += std::string("&") + char(e - 1) + ";";
        laughs += "\">";
    }
    laughs += "]>";
    const std::string entity = R"(<?xml version="1.0"?><!DOCTYPE CIM [<!ENTITY s SYSTEM "file://)" +
                               secretFile + R"(">]>)";

    struct Case {
        const char* what;
        std::string bytes;
        int status;
        const char* cimError;  // the CIMError header, "" for none expected
    } cases[] = {
        {"nesting 200 deep",
         request("GetClass", intrinsicBody("GetClass", classNameParam + deep + "</IPARAMVALUE>")),
         400, "request-not-well-formed"},
        {"an external entity",
         request("GetClass",
                 intrinsicBody("GetClass",
                               classNameParam + "<CLASSNAME NAME=\"&s;\"/></IPARAMVALUE>", entity)),
         400, "request-not-well-formed"},
        {"entities that expand ten billion times",
         request("EnumerateClassNames",
                 intrinsicBody("EnumerateClassNames",
                               classNameParam + "<CLASSNAME NAME=\"&k;\"/></IPARAMVALUE>", laughs)),
         400, "request-not-well-formed"},
        {"no XML", request("EnumerateClassNames", "GET /etc/passwd"), 400,
         "request-not-well-formed"},
        {"no method call",
         request("EnumerateClassNames",
                 std::string(kXmlDeclaration) + kHead + "<SIMPLEREQ></SIMPLEREQ></MESSAGE></CIM>"),
         400, "request-not-valid"},
        {"CIMMethod names another method", request("DeleteClass", kEnumerateClassNames), 400,
         "header-mismatch"},
        {"several requests in one",
         request("EnumerateClassNames",
                 std::string(kXmlDeclaration) + kHead +
                     "<MULTIREQ><SIMPLEREQ><IMETHODCALL NAME=\"EnumerateClassNames\">" +
                     kRootCimv2 + "</IMETHODCALL></SIMPLEREQ></MULTIREQ></MESSAGE></CIM>"),
         501, "multiple-requests-unsupported"},
        {"a head of 20 KiB",
         "POST /cimom HTTP/1.1\r\nX-Padding: " + std::string(20 * 1024, 'x') +
             "\r\nContent-Length: 0\r\n\r\n",
         431, ""},
        {"not HTTP/1.x", "POST /cimom HTTP/2.0\r\nContent-Length: 0\r\n\r\n", 400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reply = exchange(c.bytes);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, c.status) << reply->body;
        EXPECT_EQ(reply->header("cimerror"), c.cimError);
        EXPECT_EQ(reply->body.find(secret), std::string::npos);
        EXPECT_TRUE(goodClientServed());
    }
    EXPECT_EQ(agent_->errText().find(secret), std::string::npos) << agent_->errText();
}

TEST_F(AgentSecurity, RefusesToChangeTheMachine) {
    ASSERT_NO_FATAL_FAILURE(start());
    // A process of ours that each request tries to end or change.
    const pid_t victim = agenttest::spawn({"/bin/sleep", "60"}, {}, -1, "/dev/null", "/dev/null");
    ASSERT_GT(victim, 0);
    const std::string pid = std::to_string(victim);
    const std::string marker = agent_->scratch() + "/made-by-create";
    const std::string instance =
        R"(<INSTANCE CLASSNAME="Win32_Process"><PROPERTY NAME="Handle" TYPE="string"><VALUE>)" +
        pid +
        R"(</VALUE></PROPERTY><PROPERTY NAME="Priority" TYPE="uint32"><VALUE>1</VALUE></PROPERTY></INSTANCE>)";
    auto methodCall = [&](const std::string& method, const std::string& target,
                          const std::string& params) {
        return std::string(kXmlDeclaration) + kHead + "<SIMPLEREQ><METHODCALL NAME=\"" + method +
               "\">" + target + params + "</METHODCALL></SIMPLEREQ></MESSAGE></CIM>";
    };
    const std::string processPath =
        std::string("<LOCALINSTANCEPATH>") + kRootCimv2 + processName(pid) + "</LOCALINSTANCEPATH>";
    const std::string classPath = std::string("<LOCALCLASSPATH>") + kRootCimv2 +
                                  R"(<CLASSNAME NAME="Win32_Process"/></LOCALCLASSPATH>)";
    struct Case {
        const char* method;
        std::string body;
        std::vector<int> codes;  // the CIM status codes that are a refusal
    } cases[] = {
        {"DeleteInstance",
         intrinsicBody("DeleteInstance",
                       "<IPARAMVALUE NAME=\"InstanceName\">" + processName(pid) + "</IPARAMVALUE>"),
         {7}},
        {"ModifyInstance",
         intrinsicBody("ModifyInstance",
                       "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" +
                           processName(pid) + instance + "</VALUE.NAMEDINSTANCE></IPARAMVALUE>"),
         {7}},
        {"CreateInstance",
         intrinsicBody("CreateInstance",
                       R"(<IPARAMVALUE NAME="NewInstance"><INSTANCE CLASSNAME="Win32_Process">)"
                       R"(<PROPERTY NAME="CommandLine" TYPE="string"><VALUE>/usr/bin/touch )" +
                           marker + "</VALUE></PROPERTY></INSTANCE></IPARAMVALUE>"),
         {7}},
        {"DeleteClass",
         intrinsicBody(
             "DeleteClass",
             R"(<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="Win32_Process"/></IPARAMVALUE>)"),
         {7}},
        {"Terminate", methodCall("Terminate", processPath, ""), {7, 16}},
        {"SetPriority",
         methodCall(
             "SetPriority", processPath,
             R"(<PARAMVALUE NAME="Priority" PARAMTYPE="sint32"><VALUE>19</VALUE></PARAMVALUE>)"),
         {7, 16}},
        {"Create",
         methodCall("Create", classPath,
                    R"(<PARAMVALUE NAME="CommandLine" PARAMTYPE="string"><VALUE>/usr/bin/touch )" +
                        marker + "</VALUE></PARAMVALUE>"),
         {7, 16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        const auto reply = exchange(request(c.method, c.body));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        const size_t code = reply->body.find("<ERROR CODE=\"");
        ASSERT_NE(code, std::string::npos) << reply->body;
        const int status = std::atoi(reply->body.c_str() + code + 13);
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), status), c.codes.end()) << reply->body;
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    int status = 0;
    EXPECT_EQ(::waitpid(victim, &status, WNOHANG), 0) << "the process was ended";
    ::kill(victim, SIGKILL);
    ::waitpid(victim, &status, 0);
    EXPECT_TRUE(goodClientServed());
}

TEST_F(AgentSecurity, ServesPlainHttpOnlyOnLoopbackAndStillAsksForALogin) {
    agenttest::TempDir scratch;
    const auto refused =
        agenttest::runProgram({agenttest::agentProgram(), "--insecure-http", "--listen",
                               "0.0.0.0:0", "--users", scratch.path() + "/users"},
                              scratch.path(), {}, 30s);
    EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("loopback"), std::string::npos) << refused.err;

    ASSERT_NO_FATAL_FAILURE(start({true, {}}));
    for (const bool withLogin : {false, true}) {
        RawConnection c(agent_->port(), "");
        ASSERT_TRUE(c.ok()) << c.error();
        ASSERT_TRUE(c.send(request("EnumerateClassNames", kEnumerateClassNames,
                                   withLogin ? goodAuthorization() : "")));
        const auto reply = c.readReply(15s);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, withLogin ? 200 : 401);
        EXPECT_EQ(reply->body.find("NAME=\"Win32_Process\"") != std::string::npos, withLogin);
    }
}

TEST_F(AgentSecurity, DropsASlowClientAtItsTimeLimitWhileServingOthers) {
    constexpr double kLimit = 5;  // --request-time, to keep the test short
    ASSERT_NO_FATAL_FAILURE(start({false, {"--request-time", "5"}}));
    // The good client's first login (the slow password hash) comes first.
    ASSERT_TRUE(goodClientServed());
    RawConnection slow(agent_->port(), agent_->certFile());
    ASSERT_TRUE(slow.ok()) << slow.error();
    const auto began = Clock::now();
    // Always one more byte before any read could time out: only the limit on
    // the whole request can end it.
    const std::string head = request("EnumerateClassNames", kEnumerateClassNames);
    bool dropped = false;
    double droppedAt = 0;
    int servedMeanwhile = 0;  // good clients served while the slow one held on
    for (size_t i = 0; i < head.size() && secondsSince(began) < kLimit + 10; ++i) {
        if (!slow.send(head.substr(i, 1))) {
            dropped = true;
        } else {
            EXPECT_TRUE(goodClientServed()) << "at " << secondsSince(began) << " s";
            if (!slow.answered()) ++servedMeanwhile;
            const auto nextByte = began + std::chrono::seconds(i + 1);
            dropped = slow.closedWithin(std::max<Clock::duration>(nextByte - Clock::now(), 0s));
        }
        if (dropped) {
            droppedAt = secondsSince(began);
            break;
        }
    }
    ASSERT_TRUE(dropped) << "the slow client is still connected after " << secondsSince(began)
                         << " s";
    EXPECT_GE(droppedAt, kLimit - 0.5);
    EXPECT_LE(droppedAt, kLimit + 6);  // well before the default 20 s
    EXPECT_GE(servedMeanwhile, 1);
    EXPECT_FALSE(slow.readReply(1s)) << "a slow request was answered";
    EXPECT_TRUE(goodClientServed());
}

}  // namespace
