#include "handback/sender.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "handback/message.h"
#include "handback/socket_name.h"
#include "handback/socket_util.h"

namespace handback {

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// Waits for `events` on fd until the deadline; false when it passed first.
bool waitFor(int fd, short events, Clock::time_point deadline, short& revents) {
    for (;;) {
        const int timeout = MsLeft(deadline);
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, timeout);
        if (n > 0) {
            revents = p.revents;
            return true;
        }
        if (n == 0 && timeout == 0) return false;
        if (n < 0 && errno != EINTR) {
            revents = POLLERR;
            return true;
        }
    }
}

// A connected socket, or the outcome that ends the attempt.
struct Connection {
    int fd = -1;
    std::optional<SendOutcome> outcome;
};

Connection connectTo(const sockaddr_un& address, Clock::time_point deadline) {
    for (;;) {
        Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (fd.get() < 0) return {-1, SendOutcome::Failed};
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return {fd.release(), std::nullopt};
        }
        switch (errno) {
            case ENOENT:
            case ECONNREFUSED:
            case ENOTDIR:
                return {-1, SendOutcome::NoCaller};
            case EAGAIN:  // the caller's queue of connections is full: it may drain
            case EINTR:
                if (MsLeft(deadline) == 0) return {-1, SendOutcome::TimedOut};
                std::this_thread::sleep_for(std::min(std::chrono::milliseconds(10),
                                                     std::chrono::milliseconds(MsLeft(deadline))));
                continue;
            default:
                return {-1, SendOutcome::Failed};
        }
    }
}

}  // namespace

const char* OutcomeName(SendOutcome outcome) {
    switch (outcome) {
        case SendOutcome::Delivered:
            return "delivered";
        case SendOutcome::NoCaller:
            return "no caller";
        case SendOutcome::TimedOut:
            return "timed out";
        case SendOutcome::ForeignCaller:
            return "caller runs as another user";
        case SendOutcome::Failed:
            return "failed";
    }
    return "?";
}

SendOutcome SendHandBack(int32_t caller, std::string_view query, std::chrono::milliseconds limit) {
    if (caller == 0) return SendOutcome::NoCaller;
    return SendHandBackTo(SocketPath(caller), query, limit);
}

SendOutcome SendHandBackTo(const std::string& path, std::string_view query,
                           std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    sockaddr_un address;
    if (!SocketAddressOf(path, address)) return SendOutcome::Failed;
    const std::optional<std::string> message = EncodeHandBack(query);
    if (!message) return SendOutcome::Failed;

    Connection connection = connectTo(address, deadline);
    if (connection.outcome) return *connection.outcome;
    Fd fd(connection.fd);

    // The query may be private: only a listener of this same user gets it.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return SendOutcome::Failed;
    if (peer.uid != ::geteuid()) return SendOutcome::ForeignCaller;

    size_t written = 0;
    while (written < message->size()) {
        const ssize_t n =
            ::send(fd.get(), message->data() + written, message->size() - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return SendOutcome::Failed;
        short revents = 0;
        if (!waitFor(fd.get(), POLLOUT, deadline, revents)) return SendOutcome::TimedOut;
        if (revents & (POLLERR | POLLNVAL)) return SendOutcome::Failed;
    }
    ::shutdown(fd.get(), SHUT_WR);

    // Taken: the caller closed its end or answered.
    for (;;) {
        short revents = 0;
        if (!waitFor(fd.get(), POLLIN, deadline, revents)) return SendOutcome::TimedOut;
        if (revents & POLLNVAL) return SendOutcome::Failed;
        char scratch[64];
        const ssize_t n = ::recv(fd.get(), scratch, sizeof scratch, 0);
        if (n >= 0) return SendOutcome::Delivered;
        // A reset means the caller closed with part of the message unread.
        if (errno != EINTR && errno != EAGAIN) return SendOutcome::Failed;
    }
}

}  // namespace handback
