// Pieces both ends of the socket share: its address and the poll() time left.
#pragma once

#include <sys/un.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace handback {

// The Unix-domain address of path; false when the name does not fit.
inline bool SocketAddressOf(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// Milliseconds left before the deadline, for poll(); 0 once it has passed.
inline int MsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000));
}

}  // namespace handback
