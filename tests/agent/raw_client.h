// A bare HTTP/1.1 client over TLS (OpenSSL, trusting only the agent's own
// certificate) or plain TCP to 127.0.0.1, for requests no ordinary client
// sends: half-sent heads, bytes one at a time, hostile bodies. Every wait is
// bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace agenttest {

struct HttpReply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

class RawConnection {
  public:
    using Clock = std::chrono::steady_clock;

    // Connects to 127.0.0.1:port; with `caFile`, through TLS that must verify
    // against that certificate (and the name 127.0.0.1).
    RawConnection(uint16_t port, const std::string& caFile,
                  Clock::duration limit = std::chrono::seconds(10)) {
        // A write to a connection the agent has dropped must fail, not end the test.
        ::signal(SIGPIPE, SIG_IGN);
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error_ = std::string("connect: ") + std::strerror(errno);
            return;
        }
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (caFile.empty()) return;
        ctx_ = SSL_CTX_new(TLS_client_method());
        if (!ctx_ || SSL_CTX_load_verify_locations(ctx_, caFile.c_str(), nullptr) != 1) {
            error_ = "cannot load " + caFile;
            return;
        }
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        SSL_set1_host(ssl_, "127.0.0.1");
        setTimeout(limit);
        if (SSL_connect(ssl_) != 1) {
            char why[256] = "";
            ERR_error_string_n(ERR_get_error(), why, sizeof why);
            error_ = std::string("TLS handshake: ") + why;
        }
    }

    ~RawConnection() {
        if (ssl_) SSL_free(ssl_);
        if (ctx_) SSL_CTX_free(ctx_);
        if (fd_ >= 0) ::close(fd_);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool send(std::string_view bytes, Clock::duration limit = std::chrono::seconds(10)) {
        setTimeout(limit);
        while (!bytes.empty()) {
            const long n = ssl_ ? SSL_write(ssl_, bytes.data(), int(bytes.size()))
                                : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(size_t(n));
        }
        return true;
    }

    // One whole response (head and Content-Length body), or nullopt when the
    // connection ends or `limit` passes first.
    std::optional<HttpReply> readReply(Clock::duration limit = std::chrono::seconds(30)) {
        const auto deadline = Clock::now() + limit;
        size_t headEnd;
        while ((headEnd = buffer_.find("\r\n\r\n")) == std::string::npos)
            if (!readMore(deadline)) return std::nullopt;
        HttpReply reply;
        std::string_view head(buffer_.data(), headEnd);
        const size_t lineEnd = head.find("\r\n");
        const std::string_view statusLine = head.substr(0, lineEnd);
        if (statusLine.substr(0, 9) != "HTTP/1.1 ") return std::nullopt;
        reply.status = std::atoi(std::string(statusLine.substr(9, 3)).c_str());
        size_t at = lineEnd;
        while (at != std::string_view::npos && at < head.size()) {
            const size_t next = head.find("\r\n", at + 2);
            const std::string_view line = head.substr(at + 2, next - at - 2);
            const size_t colon = line.find(':');
            std::string name(line.substr(0, colon));
            for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
            size_t v = colon + 1;
            while (v < line.size() && line[v] == ' ') ++v;
            reply.headers[name] = std::string(line.substr(v));
            at = next;
        }
        const size_t length = size_t(std::atoll(reply.header("content-length").c_str()));
        buffer_.erase(0, headEnd + 4);
        while (buffer_.size() < length)
            if (!readMore(deadline)) return std::nullopt;
        reply.body = buffer_.substr(0, length);
        buffer_.erase(0, length);
        return reply;
    }

    // Whether the server has ended the connection (within `limit`); bytes
    // that arrive meanwhile are kept for readReply.
    bool closedWithin(Clock::duration limit) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            if (closed_) return true;
            if (Clock::now() >= deadline) return false;
            readMore(deadline);
        }
    }

    // Whether anything has come back yet (bytes or the connection's end).
    bool answered() {
        readMore(Clock::now() + std::chrono::milliseconds(50));
        return !buffer_.empty() || closed_;
    }

  private:
    void setTimeout(Clock::duration limit) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
        timeval tv{time_t(us / 1000000), suseconds_t(us % 1000000)};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }

    // False at the deadline or the connection's end (then closed_ is set).
    bool readMore(Clock::time_point deadline) {
        if (closed_ || fd_ < 0) return false;
        if (!ssl_ || SSL_pending(ssl_) == 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return false;
        }
        setTimeout(
            std::max<Clock::duration>(deadline - Clock::now(), std::chrono::milliseconds(1)));
        char chunk[16384];
        const long n =
            ssl_ ? SSL_read(ssl_, chunk, int(sizeof chunk)) : ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            // TLS records other than data (session tickets) leave nothing to read yet.
            const bool later = ssl_ ? SSL_get_error(ssl_, int(n)) == SSL_ERROR_WANT_READ
                                    : n < 0 && (errno == EAGAIN || errno == EINTR);
            if (later) return Clock::now() < deadline;
            closed_ = true;
            return false;
        }
        buffer_.append(chunk, size_t(n));
        return true;
    }

    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string error_;
    std::string buffer_;
    bool closed_ = false;
};

}  // namespace agenttest
