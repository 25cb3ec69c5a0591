// The Authorization header of HTTP Basic, as clients of the agent send it.
#pragma once

#include <openssl/evp.h>

#include <string>

namespace agenttest {

inline std::string base64(const std::string& text) {
    std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    out.resize(size_t(n));
    return out;
}

// "Basic dTpw" for "u:p".
inline std::string basic(const std::string& userColonPassword) {
    return "Basic " + base64(userColonPassword);
}

}  // namespace agenttest
