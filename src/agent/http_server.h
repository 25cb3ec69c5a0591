// A small HTTP/1.1 server over TCP, with TLS (OpenSSL) unless started for
// plain HTTP. Each connection is served by a thread of a fixed pool, many
// more than the requests the handler runs at once (the handler limits
// those), so that clients that are slow to send hold a connection thread,
// not the work; connections from one remote address are capped. Every read
// and write has a deadline, so a slow or silent client is dropped, and
// request heads and bodies are capped before they are read. Request bodies
// need a Content-Length (no chunked uploads).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace agent {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;
    HeaderList headers;
    std::string body;
    std::string peer;  // the client's address, without its port
    // The header's value (names ignore case), or nullopt.
    std::optional<std::string> header(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    HeaderList headers;
    std::string body;
    bool close = false;  // end the connection after this response
};

// A request head read (without its final blank line).
struct HeadParse {
    HttpRequest request;
    size_t contentLength = 0;
    bool keepAlive = true;
    int refuseStatus = 0;  // the status to refuse it with, or 0
};

// Sets refuseStatus for heads that are not HTTP/1.x, that are malformed
// (400), announce a body over maxBody (413) or no length for a POST (411).
HeadParse parseRequestHead(std::string_view head, size_t maxBody);

struct ServerLimits {
    size_t maxHeadBytes = 16 * 1024;
    size_t maxBodyBytes = size_t(8) << 20;
    unsigned connections = 64;  // served at once
    size_t maxWaiting = 64;     // accepted connections waiting for a thread
    // Connections at once from one address other than loopback (local users
    // are trusted as much as the machine's own programs).
    size_t maxPerAddress = 16;
    std::chrono::milliseconds handshakeTime{10'000};
    std::chrono::milliseconds requestTime{20'000};   // to read one whole request
    std::chrono::milliseconds keepAliveTime{5'000};  // idle between requests
    std::chrono::milliseconds writeTime{60'000};
};

// "127.0.0.1:5989", "[::1]:5989", "0.0.0.0:5989"; port 0 takes a free one.
// Throws std::invalid_argument for other text.
std::pair<std::string, uint16_t> parseListenAddress(std::string_view text);

class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    // Binds and listens at once; throws std::runtime_error with the system's
    // reason. `tls` null means plain HTTP; the server does not own it.
    HttpServer(const std::string& address, uint16_t port, SSL_CTX* tls, ServerLimits limits,
               Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    uint16_t port() const { return port_; }
    // Starts accepting on a thread of its own and the workers.
    void start();
    // Stops accepting, ends every connection and joins the threads.
    void stop();

  private:
    void acceptLoop();
    void workerLoop();
    void serve(int fd, const std::string& peer);

    SSL_CTX* tls_;
    ServerLimits limits_;
    Handler handler_;
    int listenFd_ = -1;
    int stopFd_ = -1;  // eventfd: readable once stop() was called
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::pair<int, std::string>> waiting_;
    std::map<std::string, size_t> perAddress_;  // open connections by address
};

}  // namespace agent
