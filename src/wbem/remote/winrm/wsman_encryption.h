// WinRM's message encryption over plain HTTP (MS-WSMV 2.2.9.1): a SOAP
// message sealed with the connection's GSSAPI context, framed as
// multipart/encrypted with the signature length, the signature and the
// sealed bytes; and the Negotiate header values that carry the handshake.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gss_context.h"

namespace wbem::winrm {

inline constexpr std::string_view kEncryptedContentType =
    "multipart/encrypted;protocol=\"application/HTTP-SPNEGO-session-encrypted\";"
    "boundary=\"Encrypted Boundary\"";

// The body of an encrypted request for the SOAP envelope `soap`.
std::string sealMessage(GssContext& context, std::string_view soap);
// The SOAP envelope of an encrypted reply, checked before anything of it is
// read. Throws WbemError (a security error) for a reply that is not framed
// as an encrypted one, does not verify or does not match its stated length.
std::string openMessage(GssContext& context, std::string_view contentType, std::string_view body);

// A sealed message taken apart without opening it, for checks and tests.
struct SealedParts {
    std::string protocol;       // the first part's Content-Type
    size_t originalLength = 0;  // OriginalContent's Length
    std::string originalType;   // OriginalContent's type, up to ";Length"
    std::string signature;
    std::string data;
};
// nullopt when `body` is not framed as WinRM frames an encrypted message.
std::optional<SealedParts> splitSealed(std::string_view body);

std::string base64Encode(std::string_view bytes);
std::optional<std::string> base64Decode(std::string_view text);

// The Negotiate token of a reply's WWW-Authenticate headers: "" for a bare
// "Negotiate", nullopt when none offers Negotiate or the token is not base64.
std::optional<std::string> negotiateChallenge(const std::vector<std::string>& values);

}  // namespace wbem::winrm
