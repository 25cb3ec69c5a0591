#include "handback/message.h"

#include <limits>

namespace handback {

namespace {

void appendLittleEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t readLittleEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::optional<std::string> EncodeHandBack(std::string_view query) {
    if (query.size() >= std::numeric_limits<uint32_t>::max()) return std::nullopt;
    std::string out;
    out.reserve(kHeaderSize + query.size() + 1);
    appendLittleEndian(out, kHandBackDataItem, 8);
    appendLittleEndian(out, query.size() + 1, 4);
    out += query;
    out += '\0';
    return out;
}

Header DecodeHeader(const unsigned char (&bytes)[kHeaderSize]) {
    return {readLittleEndian(bytes, 8), static_cast<uint32_t>(readLittleEndian(bytes + 8, 4))};
}

}  // namespace handback
