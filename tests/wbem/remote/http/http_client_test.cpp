// The HTTP client against small servers on 127.0.0.1 that each answer one
// way: refused, silent, too long, 401, an error status with headers.
#include "wbem/remote/http/http_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace wbem;

namespace {

// A listening socket on 127.0.0.1; with a reply, one thread accepts
// connections for up to 10 s and answers each request with it.
class LoopbackServer {
  public:
    explicit LoopbackServer(std::string reply = {}, bool accept = true) : reply_(std::move(reply)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::listen(fd_, 4) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("loopback server: no socket");
        port_ = ntohs(a.sin_port);
        if (accept) thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    int requests() const { return requests_; }

  private:
    void serve() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            std::string got;
            char buf[4096];
            // Headers, then the body by its Content-Length.
            while (got.find("\r\n\r\n") == std::string::npos) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 2000) <= 0) break;
                ssize_t n = ::read(c, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, size_t(n));
            }
            ++requests_;
            (void)!::write(c, reply_.data(), reply_.size());
            ::shutdown(c, SHUT_WR);
            ::close(c);
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::string reply_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

http::Client client(int port, std::string user = {}, std::string password = {},
                    size_t cap = size_t(1) << 20) {
    http::ClientOptions o;
    o.remote.connectTimeoutMs = 2000;
    o.remote.operationTimeoutMs = 1000;
    o.remote.allowUnencrypted = true;
    o.user = std::move(user);
    o.password = std::move(password);
    o.maxReplyBytes = cap;
    return http::Client(http::Target{false, "127.0.0.1", port}, std::move(o));
}

template <class F>
HResult failure(F&& f, std::string* text) {
    try {
        f();
    } catch (const WbemError& e) {
        *text = e.what();
        return e.code();
    }
    return hr::Ok;
}

const http::Headers kHeaders{{"Content-Type", "application/xml"}};

}  // namespace

TEST(HttpClient, TransportFailuresBecomeWmiCodesWithTheReason) {
    int closedPort;
    {
        LoopbackServer gone({}, false);
        closedPort = gone.port();
    }
    LoopbackServer silent({}, false);  // connects (backlog), never answers
    LoopbackServer big("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x'));
    LoopbackServer refuses(
        "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: "
        "0\r\n\r\n");
    const struct {
        int port;
        size_t cap;
        HResult code;
        const char* text;
    } cases[] = {
        {closedPort, 1 << 20, hr::RpcUnavailable, "The RPC server is unavailable"},
        {silent.port(), 1 << 20, hr::RpcUnavailable, "did not answer in time"},
        {big.port(), 1000, hr::Failed, "is larger than 1000 bytes"},
        {refuses.port(), 1 << 20, hr::AccessDeniedSystem, "refused the user name or password"},
    };
    for (const auto& c : cases) {
        auto cl = client(c.port, "alice", "pw-secret", c.cap);
        std::string text;
        EXPECT_EQ(failure([&] { cl.post("/cimom", kHeaders, "<x/>"); }, &text), c.code) << c.text;
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
        EXPECT_NE(text.find("127.0.0.1"), std::string::npos) << text;
        EXPECT_EQ(text.find("pw-secret"), std::string::npos) << text;
    }
}

TEST(HttpClient, ErrorStatusesComeBackWithTheirHeaders) {
    LoopbackServer server(
        "HTTP/1.1 400 Bad Request\r\nCIMError: request-not-valid\r\nContent-Length: 2\r\n\r\nno");
    auto cl = client(server.port());
    http::Reply r = cl.post("/cimom", kHeaders, "<x/>");
    EXPECT_EQ(r.status, 400);
    EXPECT_EQ(r.header("cimerror").value_or("(none)"), "request-not-valid");
    EXPECT_EQ(r.body, "no");
    // A header value that would start a header of its own is refused unsent.
    std::string text;
    const int before = server.requests();
    EXPECT_EQ(failure(
                  [&] {
                      cl.post("/cimom", {{"CIMObject", "a\r\nX-Evil: 1"}}, "<x/>");
                  },
                  &text),
              hr::InvalidParameter);
    EXPECT_EQ(server.requests(), before);
}

TEST(HttpClient, BasicOverPlainHttpOnlyWhenAllowedAndACallCanBeCancelled) {
    LoopbackServer silent({}, false);
    http::ClientOptions o;
    o.user = "alice";
    o.password = "pw";
    http::Client strict(http::Target{false, "127.0.0.1", silent.port()}, o);
    std::string text;
    EXPECT_EQ(failure([&] { strict.post("/cimom", kHeaders, "<x/>"); }, &text),
              hr::AccessDeniedSystem);
    EXPECT_NE(text.find("plain HTTP"), std::string::npos) << text;

    // A call waiting on a silent server gives up when cancelled.
    http::ClientOptions patient;
    patient.remote.operationTimeoutMs = 10000;
    http::Client waiting(http::Target{false, "127.0.0.1", silent.port()}, patient);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        waiting.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failure([&] { waiting.post("/cimom", kHeaders, "<x/>"); }, &text), hr::CallCancelled);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
