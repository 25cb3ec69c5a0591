// The replay server and its launcher, checked over a plain socket so that
// these tests do not depend on the WS-Management client they serve.
#include "replay_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

using wbem::test::ReplayServer;

struct HttpReply {
    int status = 0;
    std::string headers;
    std::string body;
};

// One POST on its own connection ("Connection: close", read to EOF).
HttpReply post(const ReplayServer& server, const std::string& body,
               const std::string& authorization = "") {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(server.port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    HttpReply reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        ADD_FAILURE() << "connect to port " << server.port() << " failed";
        return reply;
    }
    std::string request =
        "POST /wsman HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
        "Content-Type: application/soap+xml;charset=UTF-8\r\n";
    if (!authorization.empty()) request += "Authorization: " + authorization + "\r\n";
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string raw;
    char chunk[4096];
    for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) raw.append(chunk, n);
    ::close(fd);
    auto split = raw.find("\r\n\r\n");
    if (raw.rfind("HTTP/1.1 ", 0) != 0 || split == std::string::npos) {
        ADD_FAILURE() << "not an HTTP reply: " << raw.substr(0, 200);
        return reply;
    }
    reply.status = std::stoi(raw.substr(9, 3));
    reply.headers = raw.substr(0, split);
    reply.body = raw.substr(split + 4);
    return reply;
}

std::string readFixture(const std::string& relative) {
    std::ifstream in(ReplayServer::fixturePath(relative));
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_FALSE(s.str().empty()) << relative;
    return s.str();
}

std::string firstMatch(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : std::string();
}

std::string withContext(std::string request, const std::string& context) {
    return std::regex_replace(request, std::regex("@CONTEXT@"), context);
}

class ReplayServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!ReplayServer::available(&why)) GTEST_SKIP() << why;
    }
};

TEST_F(ReplayServerTest, EnumeratePullAndReleaseAreAnsweredAndLogged) {
    ReplayServer server({.args = {}, .log = true});
    ASSERT_GT(server.port(), 0);
    EXPECT_EQ(server.url(), "http://127.0.0.1:" + std::to_string(server.port()) + "/wsman");

    // MaxElements 2 of the 4 recorded disks: a first batch and an open context.
    HttpReply first = post(server, readFixture("requests/enumerate_wql.xml"));
    ASSERT_EQ(first.status, 200) << first.body;
    EXPECT_EQ(firstMatch(first.body, "<a:RelatesTo>([^<]*)</a:RelatesTo>"),
              "uuid:11111111-2222-4333-8444-555555555501");
    EXPECT_NE(first.body.find("\\\\.\\PHYSICALDRIVE0</w:Selector>"), std::string::npos);
    EXPECT_EQ(first.body.find("EndOfSequence"), std::string::npos);
    std::string context = firstMatch(first.body, "<n:EnumerationContext>([^<]+)<");
    ASSERT_FALSE(context.empty()) << first.body;

    HttpReply release = post(server, withContext(readFixture("requests/release.xml"), context));
    EXPECT_EQ(release.status, 200) << release.body;
    EXPECT_NE(release.body.find("enumeration/ReleaseResponse"), std::string::npos);

    // A released context is gone: Pull gets the WS-Enumeration fault with HTTP 500.
    HttpReply pull = post(server, withContext(readFixture("requests/pull.xml"), context));
    EXPECT_EQ(pull.status, 500);
    EXPECT_NE(pull.body.find("n:InvalidEnumerationContext"), std::string::npos) << pull.body;

    auto lines = server.logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("enumeration/Enumerate "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" filter=select * from Win32_DiskDrive"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("enumeration/Release "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(" context=" + context), std::string::npos) << lines[1];
}

TEST_F(ReplayServerTest, BasicAuthIsRequiredWhenCredentialsAreGiven) {
    ReplayServer server({.args = {"--user", "alice", "--password", "pa55:word"}, .log = true});
    const std::string request = readFixture("requests/invoke_create.xml");

    struct Case {
        const char* authorization;
        int status;
    } cases[] = {
        {"", 401},
        {"Basic YWxpY2U6d3Jvbmc=", 401},          // alice:wrong
        {"Negotiate YWxpY2U6cGE1NTp3b3Jk", 401},  // right token, wrong scheme
        {"Basic YWxpY2U6cGE1NTp3b3Jk", 200},      // alice:pa55:word
    };
    for (const auto& c : cases) {
        HttpReply reply = post(server, request, c.authorization);
        EXPECT_EQ(reply.status, c.status) << "Authorization: " << c.authorization;
        if (c.status == 401) {
            EXPECT_NE(reply.headers.find("WWW-Authenticate: Basic realm=\"WSMAN\""),
                      std::string::npos);
            EXPECT_TRUE(reply.body.empty());
        } else {
            EXPECT_NE(reply.body.find("<p:ProcessId>4242</p:ProcessId>"), std::string::npos)
                << reply.body;
        }
    }
    auto lines = server.logLines();
    ASSERT_EQ(lines.size(), 4u);
    for (size_t i = 0; i < 3; ++i) EXPECT_NE(lines[i].find(" auth-fail"), std::string::npos);
    EXPECT_NE(lines[3].find(" auth-ok"), std::string::npos);
    EXPECT_NE(lines[3].find("params=CommandLine=notepad.exe,"), std::string::npos) << lines[3];
    for (const auto& line : lines) EXPECT_EQ(line.find("pa55"), std::string::npos) << line;
}

TEST_F(ReplayServerTest, TlsHandsOutTheCaCertificateAndTheProcessIsReaped) {
    pid_t pid = -1;
    std::string caCert;
    {
        ReplayServer server({"--tls"});
        pid = server.pid();
        caCert = server.caCertPath();
        EXPECT_EQ(server.url("https"),
                  "https://127.0.0.1:" + std::to_string(server.port()) + "/wsman");
        std::ifstream in(caCert);
        std::string first;
        std::getline(in, first);
        EXPECT_EQ(first, "-----BEGIN CERTIFICATE-----") << caCert;
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_NE(::access(caCert.c_str(), F_OK), 0) << "certificate folder left behind";
}

TEST_F(ReplayServerTest, BadArgumentsFailConstructionWithTheReason) {
    try {
        ReplayServer server({"--profile", "nt4"});
        FAIL() << "started with a bad profile";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("exited before printing its port"), std::string::npos)
            << e.what();
    }
}

}  // namespace
