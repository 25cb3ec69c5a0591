#include "session_pool.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "wbem/text.h"

namespace wbem::remote {

namespace {

const unsigned char* processKey() {
    static const auto key = [] {
        std::array<unsigned char, 32> k{};
        if (RAND_bytes(k.data(), int(k.size())) != 1)
            for (auto& b : k) b = static_cast<unsigned char>(std::rand());
        return k;
    }();
    return key.data();
}

}  // namespace

std::string sessionNamespace(std::string_view nspace) {
    std::string ns(trimmed(nspace));
    if (ns.empty()) ns = "root\\cimv2";
    std::replace(ns.begin(), ns.end(), '/', '\\');
    return ns;
}

std::string sessionKey(std::string_view host, std::string_view nspace, std::string_view user,
                       std::string_view password, const RemoteOptions& options) {
    const std::string ns = lowered(sessionNamespace(nspace));
    std::string text;
    for (std::string_view part : {trimmed(host), std::string_view(ns), user, password}) {
        text += std::to_string(part.size());
        text += ':';
        text += part;
    }
    text += std::to_string(int(options.auth)) + "|" + options.caFile + "|" +
            std::to_string(options.allowUnencrypted) + std::to_string(options.requirePrivacy) +
            "|" + std::to_string(options.connectTimeoutMs) + "|" +
            std::to_string(options.operationTimeoutMs);
    unsigned char md[32];
    unsigned int len = sizeof md;
    HMAC(EVP_sha256(), processKey(), 32, reinterpret_cast<const unsigned char*>(text.data()),
         text.size(), md, &len);
    OPENSSL_cleanse(text.data(), text.size());
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

}  // namespace wbem::remote
