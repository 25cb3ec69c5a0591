#include "wsman_encryption.h"

#include <cstdint>

#include "wbem/errors.h"
#include "wbem/text.h"

namespace wbem::winrm {

namespace {

constexpr std::string_view kBoundary = "--Encrypted Boundary\r\n";
constexpr std::string_view kEnd = "--Encrypted Boundary--\r\n";
constexpr std::string_view kProtocol = "application/HTTP-SPNEGO-session-encrypted";
constexpr std::string_view kSoapType = "application/soap+xml;charset=UTF-8";

[[noreturn]] void refused(const std::string& why) {
    fail(hr::SecureFailure,
         describeWithReason(hr::SecureFailure, "An encrypted reply was refused: " + why));
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string sealMessage(GssContext& context, std::string_view soap) {
    GssContext::Sealed sealed = context.wrap(soap);
    const auto n = uint32_t(sealed.signature.size());
    std::string body;
    body.reserve(256 + sealed.signature.size() + sealed.data.size());
    body.append(kBoundary);
    body.append("\tContent-Type: ").append(kProtocol).append("\r\n");
    body.append("\tOriginalContent: type=").append(kSoapType).append(";Length=");
    body.append(std::to_string(soap.size())).append("\r\n");
    body.append(kBoundary);
    body.append("\tContent-Type: application/octet-stream\r\n");
    const char len[4] = {char(n & 0xff), char((n >> 8) & 0xff), char((n >> 16) & 0xff),
                         char((n >> 24) & 0xff)};
    body.append(len, 4);
    body.append(sealed.signature).append(sealed.data);
    body.append(kEnd);
    return body;
}

std::optional<SealedParts> splitSealed(std::string_view body) {
    SealedParts parts;
    if (body.substr(0, kBoundary.size()) != kBoundary) return std::nullopt;
    body.remove_prefix(kBoundary.size());
    // The first part: header lines up to the second boundary.
    for (;;) {
        const size_t eol = body.find("\r\n");
        if (eol == std::string_view::npos) return std::nullopt;
        const std::string_view line = body.substr(0, eol + 2);
        body.remove_prefix(eol + 2);
        if (line == kBoundary) break;
        std::string_view text = trimmed(line.substr(0, eol));
        if (startsWithNoCase(text, "Content-Type:")) {
            parts.protocol = std::string(trimmed(text.substr(13)));
        } else if (startsWithNoCase(text, "OriginalContent:")) {
            text = trimmed(text.substr(16));
            if (!startsWithNoCase(text, "type=")) return std::nullopt;
            text.remove_prefix(5);
            const size_t at = text.rfind(";Length=");
            if (at == std::string_view::npos) return std::nullopt;
            parts.originalType = std::string(text.substr(0, at));
            const std::string_view digits = text.substr(at + 8);
            if (digits.empty() || digits.size() > 9) return std::nullopt;
            size_t n = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return std::nullopt;
                n = n * 10 + size_t(c - '0');
            }
            parts.originalLength = n;
        } else if (!text.empty()) {
            return std::nullopt;
        }
    }
    // The second part: one header line, then the binary payload to the end.
    const size_t eol = body.find("\r\n");
    if (eol == std::string_view::npos) return std::nullopt;
    const std::string_view type = trimmed(body.substr(0, eol));
    if (!iequals(type, "Content-Type: application/octet-stream")) return std::nullopt;
    body.remove_prefix(eol + 2);
    if (body.size() < 4 + kEnd.size() || body.substr(body.size() - kEnd.size()) != kEnd)
        return std::nullopt;
    body.remove_suffix(kEnd.size());
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    const uint32_t n =
        uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    body.remove_prefix(4);
    if (n == 0 || n > body.size()) return std::nullopt;
    parts.signature = std::string(body.substr(0, n));
    parts.data = std::string(body.substr(n));
    return parts;
}

std::string openMessage(GssContext& context, std::string_view contentType, std::string_view body) {
    if (!startsWithNoCase(trimmed(contentType), "multipart/encrypted"))
        refused("the server answered without encryption (" +
                std::string(contentType.empty() ? "no content type" : contentType) + ").");
    auto parts = splitSealed(body);
    if (!parts) refused("it is not framed as an encrypted message.");
    if (!iequals(parts->protocol, kProtocol))
        refused("its protocol is " + parts->protocol + ", not " + std::string(kProtocol) + ".");
    std::string plain = context.unwrap(parts->signature, parts->data);
    if (plain.size() != parts->originalLength)
        refused("its length is " + std::to_string(plain.size()) + " bytes, not the " +
                std::to_string(parts->originalLength) + " it states.");
    return plain;
}

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    auto at = [&](size_t k) { return uint32_t(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
    }
    if (const size_t rest = bytes.size() - i) {
        const uint32_t v = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t v = 0;
        int pad = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            uint32_t d = 0;
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++pad;
            } else if (pad) {
                return std::nullopt;
            } else if (c >= 'A' && c <= 'Z') {
                d = uint32_t(c - 'A');
            } else if (c >= 'a' && c <= 'z') {
                d = uint32_t(c - 'a' + 26);
            } else if (c >= '0' && c <= '9') {
                d = uint32_t(c - '0' + 52);
            } else if (c == '+') {
                d = 62;
            } else if (c == '/') {
                d = 63;
            } else {
                return std::nullopt;
            }
            v = v << 6 | d;
        }
        out += char((v >> 16) & 0xff);
        if (pad < 2) out += char((v >> 8) & 0xff);
        if (pad < 1) out += char(v & 0xff);
    }
    return out;
}

std::optional<std::string> negotiateChallenge(const std::vector<std::string>& values) {
    for (const std::string& value : values) {
        // One header may list several schemes separated by commas.
        std::string_view rest = value;
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            std::string_view item = trimmed(rest.substr(0, comma));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            if (!startsWithNoCase(item, "Negotiate")) continue;
            std::string_view token = item.substr(9);
            if (!token.empty() && token.front() != ' ') continue;  // "NegotiateX"
            return base64Decode(trimmed(token));
        }
    }
    return std::nullopt;
}

}  // namespace wbem::winrm
