#include "http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "wbem/text.h"

namespace agent {

namespace {

using Clock = std::chrono::steady_clock;

std::string systemReason() { return std::strerror(errno); }

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

// One connection's bytes, plain or through TLS, each call bounded by a
// deadline and cut short by the server's stop.
class Stream {
  public:
    Stream(int fd, SSL* ssl, int stopFd) : fd_(fd), ssl_(ssl), stopFd_(stopFd) {}

    bool handshake(Clock::time_point deadline) {
        for (;;) {
            ERR_clear_error();
            const int r = SSL_accept(ssl_);
            if (r == 1) return true;
            if (!waitAfter(SSL_get_error(ssl_, r), deadline)) return false;
        }
    }

    // Bytes read (> 0), or 0 at the end, a timeout, a stop or an error.
    size_t read(char* buf, size_t n, Clock::time_point deadline) {
        for (;;) {
            if (ssl_) {
                ERR_clear_error();
                const int r = SSL_read(ssl_, buf, int(std::min<size_t>(n, 1 << 30)));
                if (r > 0) return size_t(r);
                if (!waitAfter(SSL_get_error(ssl_, r), deadline)) return 0;
            } else {
                const ssize_t r = ::recv(fd_, buf, n, 0);
                if (r > 0) return size_t(r);
                if (r == 0) return 0;
                if (errno == EINTR) continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) return 0;
                if (!wait(POLLIN, deadline)) return 0;
            }
        }
    }

    bool write(std::string_view data, Clock::time_point deadline) {
        while (!data.empty()) {
            if (ssl_) {
                ERR_clear_error();
                const int r =
                    SSL_write(ssl_, data.data(), int(std::min<size_t>(data.size(), 1 << 20)));
                if (r > 0) {
                    data.remove_prefix(size_t(r));
                    continue;
                }
                if (!waitAfter(SSL_get_error(ssl_, r), deadline)) return false;
            } else {
                const ssize_t r = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
                if (r > 0) {
                    data.remove_prefix(size_t(r));
                    continue;
                }
                if (r < 0 && errno == EINTR) continue;
                if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
                if (!wait(POLLOUT, deadline)) return false;
            }
        }
        return true;
    }

    // Whether a byte arrives before the deadline (for an idle keep-alive).
    bool waitReadable(Clock::time_point deadline) {
        if (ssl_ && SSL_pending(ssl_) > 0) return true;
        return wait(POLLIN, deadline);
    }

  private:
    bool waitAfter(int sslError, Clock::time_point deadline) {
        if (sslError == SSL_ERROR_WANT_READ) return wait(POLLIN, deadline);
        if (sslError == SSL_ERROR_WANT_WRITE) return wait(POLLOUT, deadline);
        return false;
    }

    bool wait(short events, Clock::time_point deadline) {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd fds[2] = {{fd_, events, 0}, {stopFd_, POLLIN, 0}};
            const int r = ::poll(fds, 2, int(std::min<long long>(left.count(), 1 << 30)));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            if (fds[1].revents) return false;
            return true;
        }
    }

    int fd_;
    SSL* ssl_;
    int stopFd_;
};

struct SslFree {
    void operator()(SSL* s) const {
        if (SSL_is_init_finished(s)) SSL_shutdown(s);  // best effort, never waits
        SSL_free(s);
    }
};

std::string responseText(const HttpResponse& r, bool close) {
    std::string out =
        "HTTP/1.1 " + std::to_string(r.status) + " " + reasonPhrase(r.status) + "\r\n";
    bool hasType = false;
    for (const auto& [name, value] : r.headers) {
        out += name + ": " + value + "\r\n";
        hasType = hasType || wbem::iequals(name, "Content-Type");
    }
    if (!hasType && !r.body.empty()) out += "Content-Type: text/plain; charset=utf-8\r\n";
    out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    out += close ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    return out;
}

bool isToken(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || std::strchr("()<>@,;:\\\"/[]?={}", c)) return false;
    }
    return true;
}

}  // namespace

HeadParse parseRequestHead(std::string_view head, size_t maxBody) {
    HeadParse p;
    auto nextLine = [&]() {
        const size_t end = head.find("\r\n");
        std::string_view line = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 2);
        return line;
    };
    const std::string_view requestLine = nextLine();
    const size_t sp1 = requestLine.find(' ');
    const size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1) {
        p.refuseStatus = 400;
        return p;
    }
    p.request.method = std::string(requestLine.substr(0, sp1));
    p.request.target = std::string(requestLine.substr(sp1 + 1, sp2 - sp1 - 1));
    const std::string_view version = requestLine.substr(sp2 + 1);
    if (!isToken(p.request.method) || p.request.target.empty() ||
        (version != "HTTP/1.1" && version != "HTTP/1.0")) {
        p.refuseStatus = 400;
        return p;
    }
    p.keepAlive = version == "HTTP/1.1";
    bool hasLength = false;
    while (!head.empty()) {
        const std::string_view line = nextLine();
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
            p.refuseStatus = 400;  // also folded header lines
            return p;
        }
        std::string name(line.substr(0, colon));
        std::string value(wbem::trimmed(line.substr(colon + 1)));
        if (wbem::iequals(name, "Content-Length")) {
            if (hasLength || value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                p.refuseStatus = 400;
                return p;
            }
            hasLength = true;
            p.contentLength = std::stoull(value);
            if (p.contentLength > maxBody) p.refuseStatus = 413;
        } else if (wbem::iequals(name, "Transfer-Encoding")) {
            p.refuseStatus = 411;  // only Content-Length bodies are taken
        } else if (wbem::iequals(name, "Connection")) {
            const std::string v = wbem::lowered(value);
            if (v.find("close") != std::string::npos) p.keepAlive = false;
            if (v.find("keep-alive") != std::string::npos) p.keepAlive = true;
        }
        p.request.headers.emplace_back(std::move(name), std::move(value));
    }
    if (!hasLength && p.request.method == "POST" && !p.refuseStatus) p.refuseStatus = 411;
    return p;
}

std::optional<std::string> HttpRequest::header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (wbem::iequals(n, name)) return v;
    return std::nullopt;
}

std::pair<std::string, uint16_t> parseListenAddress(std::string_view text) {
    std::string host;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            throw std::invalid_argument("expected [ADDRESS]:PORT");
        host = std::string(text.substr(1, close - 1));
        port = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string_view::npos || text.find(':') != colon)
            throw std::invalid_argument("expected ADDRESS:PORT");
        host = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
    }
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string_view::npos)
        throw std::invalid_argument("the port must be a number");
    const unsigned long n = std::stoul(std::string(port));
    if (n > 65535) throw std::invalid_argument("the port must be 0 to 65535");
    in6_addr a6;
    in_addr a4;
    if (inet_pton(AF_INET, host.c_str(), &a4) != 1 && inet_pton(AF_INET6, host.c_str(), &a6) != 1)
        throw std::invalid_argument("the address must be a numeric IPv4 or IPv6 address");
    return {host, uint16_t(n)};
}

HttpServer::HttpServer(const std::string& address, uint16_t port, SSL_CTX* tls, ServerLimits limits,
                       Handler handler)
    : tls_(tls), limits_(limits), handler_(std::move(handler)) {
    sockaddr_storage ss{};
    socklen_t len = 0;
    int family = AF_INET;
    if (auto* a4 = reinterpret_cast<sockaddr_in*>(&ss);
        inet_pton(AF_INET, address.c_str(), &a4->sin_addr) == 1) {
        a4->sin_family = AF_INET;
        a4->sin_port = htons(port);
        len = sizeof(sockaddr_in);
    } else if (auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
               inet_pton(AF_INET6, address.c_str(), &a6->sin6_addr) == 1) {
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(port);
        len = sizeof(sockaddr_in6);
        family = AF_INET6;
    } else {
        throw std::runtime_error("cannot listen on " + address + ": not a numeric address");
    }
    listenFd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("cannot make a socket: " + systemReason());
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (family == AF_INET6) ::setsockopt(listenFd_, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&ss), len) != 0 ||
        ::listen(listenFd_, 128) != 0) {
        const std::string why = systemReason();
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                                 why);
    }
    sockaddr_storage bound{};
    socklen_t boundLen = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &boundLen);
    port_ = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                    : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot make an eventfd: " + systemReason());
    }
}

HttpServer::~HttpServer() {
    stop();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (stopFd_ >= 0) ::close(stopFd_);
}

void HttpServer::start() {
    for (unsigned i = 0; i < std::max(1u, limits_.connections); ++i)
        workers_.emplace_back([this] { workerLoop(); });
    acceptor_ = std::thread([this] { acceptLoop(); });
}

void HttpServer::stop() {
    if (stopping_.exchange(true)) return;
    const uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(stopFd_, &one, sizeof one);
    ready_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (auto& w : workers_)
        if (w.joinable()) w.join();
    std::lock_guard lock(mutex_);
    for (auto& [fd, peer] : waiting_) ::close(fd);
    waiting_.clear();
}

void HttpServer::acceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents || stopping_) return;
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&ss), &len,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors: wait a little rather than spin.
            if (errno == EMFILE || errno == ENFILE)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        char text[INET6_ADDRSTRLEN] = "?";
        if (ss.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, text, sizeof text);
        else if (ss.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, text,
                      sizeof text);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const std::string peer = text;
        const bool loopback =
            peer.rfind("127.", 0) == 0 || peer == "::1" || peer.rfind("::ffff:127.", 0) == 0;
        std::unique_lock lock(mutex_);
        size_t& fromPeer = perAddress_[peer];
        if (waiting_.size() >= limits_.maxWaiting ||
            (!loopback && fromPeer >= limits_.maxPerAddress)) {
            if (fromPeer == 0) perAddress_.erase(peer);
            lock.unlock();
            ::close(fd);  // full: the client may try again
            continue;
        }
        ++fromPeer;
        waiting_.emplace_back(fd, peer);
        lock.unlock();
        ready_.notify_one();
    }
}

void HttpServer::workerLoop() {
    for (;;) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        auto [fd, peer] = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        try {
            serve(fd, peer);
        } catch (...) {
            // A connection's failure never ends the worker.
        }
        ::close(fd);
        std::lock_guard done(mutex_);
        if (auto it = perAddress_.find(peer); it != perAddress_.end() && --it->second == 0)
            perAddress_.erase(it);
    }
}

void HttpServer::serve(int fd, const std::string& peer) {
    std::unique_ptr<SSL, SslFree> ssl;
    if (tls_) {
        ssl.reset(SSL_new(tls_));
        if (!ssl || SSL_set_fd(ssl.get(), fd) != 1) return;
    }
    Stream stream(fd, ssl.get(), stopFd_);
    if (ssl && !stream.handshake(Clock::now() + limits_.handshakeTime)) return;
    std::string buffer;
    bool first = true;
    char chunk[16384];
    while (!stopping_) {
        // Between requests a connection may idle only briefly.
        if (buffer.empty() && !first && !stream.waitReadable(Clock::now() + limits_.keepAliveTime))
            return;
        first = false;
        const auto deadline = Clock::now() + limits_.requestTime;
        // Refuses the request and ends the connection. What the client sent
        // on is read and dropped for a moment (at most 1 MiB, 2 s): closing
        // with unread bytes would reset the connection and lose the answer.
        auto refuse = [&](int status, const std::string& text) {
            const HttpResponse r{status, {}, text, true};
            if (!stream.write(responseText(r, true) + r.body, Clock::now() + limits_.writeTime))
                return;
            const auto until = Clock::now() + std::chrono::seconds(2);
            for (size_t drained = 0; drained < (size_t(1) << 20);) {
                const size_t n = stream.read(chunk, sizeof chunk, until);
                if (n == 0) break;
                drained += n;
            }
        };
        size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos &&
               buffer.size() <= limits_.maxHeadBytes) {
            const size_t n = stream.read(chunk, sizeof chunk, deadline);
            if (n == 0) return;  // closed, too slow, or stopping
            buffer.append(chunk, n);
        }
        // Too large whether its end came in the same read or not at all.
        if (headEnd == std::string::npos || headEnd > limits_.maxHeadBytes)
            return refuse(431, "The request head is too large.\n");
        HeadParse head =
            parseRequestHead(std::string_view(buffer).substr(0, headEnd), limits_.maxBodyBytes);
        buffer.erase(0, headEnd + 4);
        head.request.peer = peer;
        if (head.refuseStatus)
            return refuse(head.refuseStatus, head.refuseStatus == 413
                                                 ? "The request is too large.\n"
                                             : head.refuseStatus == 411
                                                 ? "Send the body with a Content-Length.\n"
                                                 : "The request is not HTTP/1.1 as served here.\n");
        while (buffer.size() < head.contentLength) {
            const size_t n = stream.read(chunk, sizeof chunk, deadline);
            if (n == 0) return;
            buffer.append(chunk, n);
        }
        head.request.body = buffer.substr(0, head.contentLength);
        buffer.erase(0, head.contentLength);

        HttpResponse response;
        try {
            response = handler_(head.request);
        } catch (...) {
            response = {500, {}, "The request failed inside the server.\n", true};
        }
        bool close = response.close || !head.keepAlive || stopping_;
        {
            // Others are waiting for a thread: do not hold this one idle.
            std::lock_guard lock(mutex_);
            close = close || !waiting_.empty();
        }
        if (!stream.write(responseText(response, close), Clock::now() + limits_.writeTime) ||
            !stream.write(response.body, Clock::now() + limits_.writeTime) || close)
            return;
    }
}

}  // namespace agent
