#include "tls_identity.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace agent {

namespace {

std::string opensslReason() {
    const unsigned long e = ERR_get_error();
    char buf[256] = "unknown error";
    if (e) ERR_error_string_n(e, buf, sizeof buf);
    ERR_clear_error();
    return buf;
}

[[noreturn]] void failWith(const std::string& what) {
    throw std::runtime_error(what + ": " + opensslReason());
}

struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

FilePtr openRead(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    return f;
}

std::unique_ptr<X509, decltype(&X509_free)> readCertificate(const std::string& path) {
    auto f = openRead(path);
    std::unique_ptr<X509, decltype(&X509_free)> cert(
        PEM_read_X509(f.get(), nullptr, nullptr, nullptr), &X509_free);
    if (!cert) failWith(path + " holds no PEM certificate");
    return cert;
}

// Writes a new file of the given mode; refuses to follow or replace anything.
FilePtr createPrivate(const std::string& path, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    FilePtr f(::fdopen(fd, "wb"));
    if (!f) {
        ::close(fd);
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
    return f;
}

void addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) failWith("cannot make a certificate extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !name[0]) return "localhost";
    return name;
}

}  // namespace

void SslCtxFree::operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }

SslCtxPtr makeServerContext(const std::string& certFile, const std::string& keyFile) {
    SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()));
    if (!ctx) failWith("cannot make a TLS context");
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    SSL_CTX_set_options(ctx.get(), SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_set_mode(ctx.get(),
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(ctx.get(), certFile.c_str()) != 1)
        failWith("cannot use the certificate " + certFile);
    if (SSL_CTX_use_PrivateKey_file(ctx.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        failWith("cannot use the key " + keyFile);
    if (SSL_CTX_check_private_key(ctx.get()) != 1)
        failWith("the key " + keyFile + " does not belong to " + certFile);
    return ctx;
}

CertificateFiles selfSignedCertificate(const std::string& stateDir) {
    CertificateFiles files{stateDir + "/agent.crt", stateDir + "/agent.key", false};
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(stateDir).parent_path(), ec);
    if (::mkdir(stateDir.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make " + stateDir + ": " + std::strerror(errno));
    struct stat st {};
    if (::stat(files.cert.c_str(), &st) == 0 && ::stat(files.key.c_str(), &st) == 0) return files;

    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    if (!key) failWith("cannot make a key");
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), &X509_free);
    if (!cert) failWith("cannot make a certificate");
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;  // positive
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60 * 60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 2L * 365 * 24 * 60 * 60);
    X509_set_pubkey(cert.get(), key.get());
    const std::string host = hostName();
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("cimscope-agent"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    const std::string san = "DNS:" + host + ",DNS:localhost,IP:127.0.0.1,IP:::1";
    // A self-signed certificate is its own authority: clients pin it as their CA file.
    addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
    addExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
    addExtension(cert.get(), NID_ext_key_usage, "serverAuth");
    addExtension(cert.get(), NID_subject_key_identifier, "hash");
    addExtension(cert.get(), NID_subject_alt_name, san.c_str());
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0)
        failWith("cannot sign the certificate");

    const std::string keyTemp = files.key + ".new", certTemp = files.cert + ".new";
    ::unlink(keyTemp.c_str());
    ::unlink(certTemp.c_str());
    {
        auto f = createPrivate(keyTemp, 0600);
        if (PEM_write_PrivateKey(f.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
            std::fflush(f.get()) != 0 || ::fsync(fileno(f.get())) != 0)
            failWith("cannot write " + keyTemp);
    }
    {
        auto f = createPrivate(certTemp, 0644);
        if (PEM_write_X509(f.get(), cert.get()) != 1 || std::fflush(f.get()) != 0 ||
            ::fsync(fileno(f.get())) != 0)
            failWith("cannot write " + certTemp);
    }
    if (::rename(keyTemp.c_str(), files.key.c_str()) != 0 ||
        ::rename(certTemp.c_str(), files.cert.c_str()) != 0)
        throw std::runtime_error("cannot keep the certificate in " + stateDir + ": " +
                                 std::strerror(errno));
    files.made = true;
    return files;
}

std::string certificateFingerprint(const std::string& certFile) {
    auto cert = readCertificate(certFile);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (X509_digest(cert.get(), EVP_sha256(), md, &len) != 1) failWith("cannot digest " + certFile);
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        if (i) out += ':';
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

}  // namespace agent
