// The hand-back message as it goes over the socket: the data item that marks
// a query hand-back (8 bytes, unsigned, little-endian), the number of bytes
// that follow (4 bytes, unsigned, little-endian), then the query's bytes and
// one zero byte, so the count is the query's length plus 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace handback {

inline constexpr uint64_t kHandBackDataItem = 107355;
inline constexpr size_t kHeaderSize = 12;
// What a listener accepts as the byte count; a query is never near it, and a
// bigger count is a stranger's stream, not a hand-back.
inline constexpr uint32_t kMaxByteCount = 16u * 1024 * 1024;

struct Header {
    uint64_t dataItem = 0;
    uint32_t byteCount = 0;
};

// The whole message; nullopt when the query is too long for the 32-bit count.
std::optional<std::string> EncodeHandBack(std::string_view query);

// The header from its 12 bytes.
Header DecodeHeader(const unsigned char (&bytes)[kHeaderSize]);

}  // namespace handback
