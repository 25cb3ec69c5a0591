#include "handback/listener.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

// Reads exactly `size` bytes before the deadline.
bool readAll(int fd, void* buffer, size_t size, Clock::time_point deadline, std::string& error) {
    auto* out = static_cast<char*>(buffer);
    size_t got = 0;
    while (got < size) {
        pollfd p{fd, POLLIN, 0};
        const int timeout = MsLeft(deadline);
        const int n = ::poll(&p, 1, timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            if (timeout == 0) {
                error = "timed out while reading the message";
                return false;
            }
            continue;
        }
        if (n < 0) {
            error = systemError("poll");
            return false;
        }
        const ssize_t r = ::recv(fd, out + got, size - got, 0);
        if (r == 0) {
            error = "the sender closed the connection before the message was complete";
            return false;
        }
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            error = systemError("recv");
            return false;
        }
        got += static_cast<size_t>(r);
    }
    return true;
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
    if (folder == FallbackFolder(::geteuid()) && !EnsurePrivateFolder(folder, error))
        return nullptr;
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
    if (!bound || ::listen(fd, 8) != 0) {
        error = systemError("cannot listen at " + path);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<HandBackListener>(new HandBackListener(fd, path));
}

HandBackListener::~HandBackListener() {
    ::close(fd_);
    ::unlink(path_.c_str());
}

std::optional<ReceivedHandBack> HandBackListener::Receive(std::chrono::milliseconds timeout,
                                                          std::string& error) {
    const Clock::time_point deadline = Clock::now() + timeout;
    int connection = -1;
    while (connection < 0) {
        pollfd p{fd_, POLLIN, 0};
        const int wait = MsLeft(deadline);
        const int n = ::poll(&p, 1, wait);
        if (n < 0 && errno != EINTR) {
            error = systemError("poll");
            return std::nullopt;
        }
        if (n == 0 && wait == 0) {
            error = "no hand-back came";
            return std::nullopt;
        }
        if (n > 0) connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

    std::optional<ReceivedHandBack> result;
    unsigned char header[kHeaderSize];
    if (readAll(connection, header, sizeof header, deadline, error)) {
        const Header h = DecodeHeader(header);
        if (h.dataItem != kHandBackDataItem) {
            error = "not a query hand-back: data item " + std::to_string(h.dataItem);
        } else if (h.byteCount == 0 || h.byteCount > kMaxByteCount) {
            error = "bad byte count " + std::to_string(h.byteCount);
        } else {
            std::string payload(h.byteCount, '\0');
            if (readAll(connection, payload.data(), payload.size(), deadline, error)) {
                if (payload.back() != '\0') {
                    error = "the query does not end with a zero byte";
                } else {
                    payload.pop_back();
                    result = ReceivedHandBack{h.dataItem, h.byteCount, std::move(payload)};
                }
            }
        }
    }
    ::close(connection);  // tells the sender that the message was taken
    return result;
}

}  // namespace handback
