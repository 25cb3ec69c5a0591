// The agent's TLS side: a server context from a certificate and key in PEM
// files, and a self-signed certificate made on first start when none is
// given, kept in the agent's state folder so its fingerprint stays the same.
#pragma once

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace agent {

struct SslCtxFree {
    void operator()(SSL_CTX* ctx) const;
};
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;

// TLS 1.2 or newer. Throws std::runtime_error naming the file and OpenSSL's reason.
SslCtxPtr makeServerContext(const std::string& certFile, const std::string& keyFile);

struct CertificateFiles {
    std::string cert;
    std::string key;
    bool made = false;  // made just now
};

// `stateDir`/agent.crt and agent.key, made when missing (P-256 key, valid for
// two years, names: this host's name, localhost, 127.0.0.1 and ::1). The
// folder is made 0700 and the key 0600. Throws std::runtime_error.
CertificateFiles selfSignedCertificate(const std::string& stateDir);

// "AB:CD:..." SHA-256 of the certificate in a PEM file.
std::string certificateFingerprint(const std::string& certFile);

}  // namespace agent
