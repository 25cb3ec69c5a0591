// Sends the hand-back message to the calling program and waits, within one
// time limit for everything, until the caller has taken it: connect, write
// the whole message, then wait until the caller closes the connection (or
// writes anything back). The program ignores the outcome; it is returned for
// tests and logs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace handback {

inline constexpr std::chrono::milliseconds kSendLimit{2000};

enum class SendOutcome {
    Delivered,      // written in full and taken by the caller
    NoCaller,       // nobody listens under the name
    TimedOut,       // the limit passed while connecting, writing or waiting
    ForeignCaller,  // the listener runs as another user; nothing was written
    Failed,         // any other failure (name too long, connection reset, ...)
};

const char* OutcomeName(SendOutcome outcome);

// To the caller named by "-wp:" (0 names nobody: NoCaller at once).
SendOutcome SendHandBack(int32_t caller, std::string_view query,
                         std::chrono::milliseconds limit = kSendLimit);

// To the socket at `path`.
SendOutcome SendHandBackTo(const std::string& path, std::string_view query,
                           std::chrono::milliseconds limit = kSendLimit);

}  // namespace handback
