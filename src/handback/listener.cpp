#include "handback/listener.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "handback/message.h"
#include "handback/socket_name.h"
#include "handback/socket_util.h"

namespace handback {

namespace {

using Clock = std::chrono::steady_clock;

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool addressFor(const std::string& path, sockaddr_un& address, std::string& error) {
    if (SocketAddressOf(path, address)) return true;
    error = "socket name too long: " + path;
    return false;
}

// Whether somebody accepts connections at the address right now.
bool someoneListens(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;  // cannot tell: do not take the name away
    const bool ok =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN;
    ::close(fd);
    return ok;
}

}  // namespace

bool EnsurePrivateFolder(const std::string& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = systemError("cannot make " + folder);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        error = systemError("cannot read " + folder);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
        error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

std::unique_ptr<HandBackListener> HandBackListener::Listen(int32_t caller, std::string& error) {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = SocketFolder(runtimeDir, ::geteuid());
    // The runtime folder is checked as the fallback is: a folder others may
    // write to would let them take the socket's name.
    if (!EnsurePrivateFolder(folder, error)) return nullptr;
    return ListenAt(SocketPathIn(folder, caller), error);
}

std::unique_ptr<HandBackListener> HandBackListener::ListenAt(const std::string& path,
                                                             std::string& error) {
    sockaddr_un address;
    if (!addressFor(path, address, error)) return nullptr;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = systemError("socket");
        return nullptr;
    }
    auto bindIt = [&] {
        return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    bool bound = bindIt();
    if (!bound && errno == EADDRINUSE) {
        struct stat st {};
        if (!someoneListens(address) && ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            ::unlink(path.c_str());  // left behind by a listener that ended without cleaning up
            bound = bindIt();
        } else {
            errno = EADDRINUSE;
        }
    }
    if (bound) ::chmod(path.c_str(), 0600);
    if (!bound || ::listen(fd, 16) != 0) {
        error = systemError("cannot listen at " + path);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<HandBackListener>(new HandBackListener(fd, path));
}

HandBackListener::~HandBackListener() {
    for (const Pending& p : pending_) ::close(p.fd);
    ::close(fd_);
    ::unlink(path_.c_str());
}

void HandBackListener::drop(size_t index, const std::string& why) {
    ::close(pending_[index].fd);
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
    note(why);
}

void HandBackListener::note(const std::string& why) const {
    if (notes_)
        notes_(why);
    else
        std::fprintf(stderr, "hand-back: dropped a connection: %s\n", why.c_str());
}

std::optional<ReceivedHandBack> HandBackListener::readFrom(size_t index) {
    Pending& p = pending_[index];
    char buffer[65536];
    const ssize_t r = ::recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (r < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
        drop(index, systemError("recv"));
        return std::nullopt;
    }
    if (r == 0) {
        drop(index, "the sender closed the connection before the message was complete");
        return std::nullopt;
    }
    p.bytes.append(buffer, static_cast<size_t>(r));
    if (p.bytes.size() < kHeaderSize) return std::nullopt;
    unsigned char header[kHeaderSize];
    std::memcpy(header, p.bytes.data(), kHeaderSize);
    const Header h = DecodeHeader(header);
    if (h.dataItem != kHandBackDataItem) {
        drop(index, "not a query hand-back: data item " + std::to_string(h.dataItem));
        return std::nullopt;
    }
    if (h.byteCount == 0 || h.byteCount > kMaxByteCount) {
        drop(index, "bad byte count " + std::to_string(h.byteCount));
        return std::nullopt;
    }
    if (p.bytes.size() < kHeaderSize + h.byteCount) return std::nullopt;
    std::string payload = p.bytes.substr(kHeaderSize, h.byteCount);
    if (payload.back() != '\0') {
        drop(index, "the query does not end with a zero byte");
        return std::nullopt;
    }
    payload.pop_back();
    ::close(p.fd);  // tells the sender that the message was taken
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
    return ReceivedHandBack{h.dataItem, h.byteCount, std::move(payload)};
}

std::optional<ReceivedHandBack> HandBackListener::Receive(std::chrono::milliseconds timeout,
                                                          std::string& error) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const Clock::time_point now = Clock::now();
        for (size_t i = pending_.size(); i-- > 0;)
            if (pending_[i].deadline <= now)
                drop(i, "no whole message within " + std::to_string(kMessageTime.count()) + " ms");
        if (now >= deadline) {
            error = "no hand-back came";
            return std::nullopt;
        }
        Clock::time_point wakeAt = deadline;
        for (const Pending& p : pending_) wakeAt = std::min(wakeAt, p.deadline);
        std::vector<pollfd> fds{{fd_, POLLIN, 0}};
        for (const Pending& p : pending_) fds.push_back({p.fd, POLLIN, 0});
        const int n = ::poll(fds.data(), fds.size(), MsLeft(wakeAt));
        if (n < 0 && errno != EINTR) {
            error = systemError("poll");
            return std::nullopt;
        }
        if (n <= 0) continue;
        // The pending connections first, the oldest first: their messages came earlier.
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            // readFrom may drop the connection: find it again by its descriptor.
            for (size_t k = 0; k < pending_.size(); ++k) {
                if (pending_[k].fd != fds[i].fd) continue;
                if (auto message = readFrom(k)) return message;
                break;
            }
        }
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
            peer.uid != ::geteuid()) {
            ::close(connection);
            note("a peer of another user (uid " + std::to_string(peer.uid) + ") was refused");
            continue;
        }
        if (pending_.size() >= kMaxPending) drop(0, "too many connections at once");
        pending_.push_back({connection, {}, Clock::now() + kMessageTime});
    }
}

}  // namespace handback
