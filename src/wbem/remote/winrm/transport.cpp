#include "transport.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "gss_context.h"
#include "wbem/errors.h"
#include "wbem/remote/http/curl_easy.h"
#include "wbem/text.h"
#include "wsman_encryption.h"

namespace wbem::winrm {

namespace {

void wipe(std::string& secret) { wipeSecret(secret); }

constexpr std::string_view kSoapType = "application/soap+xml;charset=UTF-8";

// The reply headers Negotiate needs; a new status line starts them afresh.
struct Headers {
    std::vector<std::string> wwwAuthenticate;
    std::string contentType;
};

size_t readHeader(char* data, size_t size, size_t count, void* user) {
    auto* h = static_cast<Headers*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    if (line.substr(0, 5) == "HTTP/") {
        *h = Headers{};
        return n;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return n;
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (iequals(name, "WWW-Authenticate"))
        h->wwwAuthenticate.emplace_back(value);
    else if (iequals(name, "Content-Type"))
        h->contentType = std::string(value);
    return n;
}

enum Mech { KerberosMech = 0, NtlmMech = 1 };

}  // namespace

struct Transport::Handle {
    http::CurlEasy easy;
    curl_slist* headers = nullptr;
    curl_slist* anonymousHeaders = nullptr;  // also marks an Identify as unauthenticated
    Handle(const RemoteOptions& r, std::atomic<bool>& cancelled)
        : easy(r, "Cimscope WinRM client", cancelled) {}
    ~Handle() {
        if (headers) http::curlApi().slist_free_all(headers);
        if (anonymousHeaders) http::curlApi().slist_free_all(anonymousHeaders);
    }
};

Transport::Transport(Endpoint endpoint, TransportOptions options)
    : endpoint_(std::move(endpoint)), options_(std::move(options)) {
    wipe(options.password);
    const RemoteOptions& r = options_.remote;
    if (r.auth != AuthMethod::Basic || endpoint_.tls) {
        // Negotiate seals every message over plain HTTP; TLS covers the rest.
    } else if (r.requirePrivacy) {
        policyCode_ = hr::AccessDeniedSystem;
        policyError_ = describeWithReason(
            hr::AccessDeniedSystem,
            "The authentication level Packet Privacy needs encryption, which Basic over plain "
            "HTTP does not have; use https:// or Negotiate, Kerberos or NTLM.");
    } else if (!r.allowUnencrypted) {
        policyCode_ = hr::AccessDeniedSystem;
        policyError_ = describeWithReason(
            hr::AccessDeniedSystem,
            "Basic authentication over plain HTTP would send the password in the clear; use "
            "https:// or allow unencrypted (-unencrypted).");
    }
    if (policyCode_) wipe(options_.password);
    handle_ = std::make_unique<Handle>(r, cancelled_);
    CURL* c = handle_->easy.get();
    const http::CurlLibrary& curl = http::curlApi();
    handle_->headers =
        curl.slist_append(handle_->headers, "Content-Type: application/soap+xml;charset=UTF-8");
    handle_->headers = curl.slist_append(handle_->headers, "Expect:");
    for (const char* h : {"Content-Type: application/soap+xml;charset=UTF-8",
                          "Expect:", "WSMANIDENTIFY: unauthenticated"})
        handle_->anonymousHeaders = curl.slist_append(handle_->anonymousHeaders, h);
    const std::string url = endpoint_.url();
    curl.easy_setopt(c, CURLOPT_URL, url.c_str());
    curl.easy_setopt(c, CURLOPT_HTTPHEADER, handle_->headers);
}

Transport::~Transport() {
    handle_.reset();
    wipe(options_.password);
}

void Transport::checkAuthentication() const {
    if (policyCode_) fail(policyCode_, policyError_);
}

bool Transport::sealsMessages() const {
    return options_.remote.auth != AuthMethod::Basic && !endpoint_.tls;
}

HttpReply Transport::post(std::string_view envelope) {
    checkAuthentication();
    if (options_.remote.auth != AuthMethod::Basic) return negotiated(envelope);
    return exchange(envelope, true);
}

HttpReply Transport::postUnauthenticated(std::string_view envelope) {
    return exchange(envelope, false);
}

struct Transport::Raw {
    long status = 0;
    std::string body;
    Headers headers;
    bool newConnection = false;
};

Transport::Raw Transport::perform(std::string_view body, const std::string& contentType,
                                  const std::string& authorization) {
    CURL* c = handle_->easy.get();
    const http::CurlLibrary& curl = http::curlApi();
    curl_slist* headers = nullptr;
    const std::string type = "Content-Type: " + contentType;
    headers = curl.slist_append(headers, type.c_str());
    headers = curl.slist_append(headers, "Expect:");
    if (!authorization.empty())
        headers = curl.slist_append(headers, ("Authorization: Negotiate " + authorization).c_str());
    struct Free {
        curl_slist* l;
        ~Free() { http::curlApi().slist_free_all(l); }
    } freeHeaders{headers};
    curl.easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_NONE));
    curl.easy_setopt(c, CURLOPT_USERNAME, nullptr);
    curl.easy_setopt(c, CURLOPT_PASSWORD, nullptr);
    curl.easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    Raw raw;
    curl.easy_setopt(c, CURLOPT_FRESH_CONNECT, freshConnection_ ? 1L : 0L);
    freshConnection_ = false;
    curl.easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
    curl.easy_setopt(c, CURLOPT_HEADERDATA, &raw.headers);
    HttpReply reply = send(body);
    curl.easy_setopt(c, CURLOPT_HEADERFUNCTION, nullptr);
    curl.easy_setopt(c, CURLOPT_HEADERDATA, nullptr);
    curl.easy_setopt(c, CURLOPT_HTTPHEADER, handle_->headers);
    long connects = 0;
    curl.easy_getinfo(c, CURLINFO_NUM_CONNECTS, &connects);
    raw.newConnection = connects > 0;
    raw.status = reply.status;
    raw.body = std::move(reply.body);
    return raw;
}

std::shared_ptr<const GssCredential> Transport::credentialFor(int mech) {
    auto& slot = credentials_[mech];
    if (slot) return slot;
    // Kerberos: the named user's ticket, got with the password when there is
    // one, else from the ticket cache (kinit); no user: the cache's own.
    slot = std::make_shared<const GssCredential>(
        mech == KerberosMech ? GssMech::Kerberos : GssMech::Ntlm, options_.user, options_.password);
    return slot;
}

void Transport::handshake() {
    context_.reset();
    const AuthMethod method = options_.remote.auth;
    if (method == AuthMethod::Ntlm) {
        handshakeWith(credentialFor(NtlmMech));
    } else if (method == AuthMethod::Kerberos) {
        handshakeWith(credentialFor(KerberosMech));
    } else if (credentials_[NtlmMech] && !credentials_[KerberosMech]) {
        // A reconnection: the mechanism that worked before.
        handshakeWith(credentials_[NtlmMech]);
    } else {
        // Negotiate as Windows clients do it: Kerberos when it can be had,
        // NTLM otherwise. DOMAIN\user names no Kerberos principal.
        std::string kerberosReason;
        std::exception_ptr kerberosError;
        if (options_.user.find('\\') == std::string::npos) {
            try {
                handshakeWith(credentialFor(KerberosMech));
                wipe(options_.password);
                return;
            } catch (const WbemError& e) {
                if (e.code() != hr::AccessDeniedSystem) throw;
                credentials_[KerberosMech].reset();
                context_.reset();
                kerberosReason = e.what();
                kerberosError = std::current_exception();
            }
        }
        // Without a password NTLM has nothing to go on (GssCredential says so).
        if (kerberosError && (options_.user.empty() || options_.password.empty()))
            std::rethrow_exception(kerberosError);
        try {
            handshakeWith(credentialFor(NtlmMech));
        } catch (const WbemError& e) {
            if (kerberosReason.empty()) throw;
            // Both reasons: the Kerberos one often says what to fix.
            fail(e.code(), std::string(e.what()) + " (Kerberos was tried first: " +
                               std::string(trimmed(kerberosReason)) + ")");
        }
    }
    // The credentials hold what GSSAPI needs; the password is not needed again.
    wipe(options_.password);
}

void Transport::handshakeWith(const std::shared_ptr<const GssCredential>& credential) {
    const std::string where = endpoint_.url();
    const std::string mech(gssMechName(credential->mech()));
    const std::string type(sealsMessages() ? kEncryptedContentType : kSoapType);
    // A connection closed during the handshake (the context is bound to it)
    // makes one more attempt from the start.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto context = std::make_unique<GssContext>(credential, endpoint_.host);
        std::string token = context->step({});
        bool restart = false;
        for (int leg = 0; !restart; ++leg) {
            if (leg >= 8)
                fail(hr::AccessDeniedSystem,
                     describeWithReason(hr::AccessDeniedSystem,
                                        where + " did not finish the " + mech + " handshake."));
            // The body stays empty until the context can seal it.
            Raw raw = perform({}, type, base64Encode(token));
            if (leg > 0 && raw.newConnection) {
                restart = true;
                break;
            }
            const auto challenge = negotiateChallenge(raw.headers.wwwAuthenticate);
            if (raw.status == 401 && leg == 0 && !challenge) {
                std::string offered;
                for (const std::string& v : raw.headers.wwwAuthenticate)
                    offered +=
                        (offered.empty() ? "" : ", ") + std::string(v.substr(0, v.find(' ')));
                fail(hr::AccessDeniedSystem,
                     describeWithReason(
                         hr::AccessDeniedSystem,
                         where + " does not take Negotiate authentication" +
                             (offered.empty() ? "." : " (it offers " + offered + ").")));
            }
            if (raw.status == 401) {
                if (!challenge || challenge->empty() || context->complete()) {
                    std::string who = options_.user.empty() ? "" : " of " + options_.user;
                    fail(hr::AccessDeniedSystem,
                         describeWithReason(hr::AccessDeniedSystem,
                                            where + " refused the " + mech + " credentials" + who +
                                                ": unknown user or wrong password."));
                }
                token = context->step(*challenge);
                continue;
            }
            if (raw.status != 200 && raw.status != 400 && raw.status != 500)
                fail(hr::RpcUnavailable,
                     describeWithReason(hr::RpcUnavailable, where + " answered HTTP " +
                                                                std::to_string(raw.status) +
                                                                " to the " + mech + " handshake."));
            // Kerberos's mutual authentication: the server's last word.
            if (challenge && !challenge->empty() && !context->complete()) context->step(*challenge);
            if (!context->complete())
                fail(hr::AccessDeniedSystem,
                     describeWithReason(
                         hr::AccessDeniedSystem,
                         where + " ended the " + mech + " handshake before it was complete."));
            context_ = std::move(context);
            return;
        }
    }
    fail(hr::RpcUnavailable,
         describeWithReason(hr::RpcUnavailable,
                            where + " closed the connection during the " + mech + " handshake."));
}

HttpReply Transport::negotiated(std::string_view envelope) {
    const std::string where = endpoint_.url();
    const bool seal = sealsMessages();
    const std::string type(seal ? kEncryptedContentType : kSoapType);
    for (int attempt = 0;; ++attempt) {
        if (!context_) handshake();
        const std::string body = seal ? sealMessage(*context_, envelope) : std::string(envelope);
        Raw raw = perform(body, type, {});
        if (raw.status == 401) {
            // The server no longer knows the context: the connection was
            // closed and libcurl opened another. Authenticate that one, once.
            context_.reset();
            if (attempt == 0) continue;
            fail(hr::AccessDeniedSystem,
                 describeWithReason(hr::AccessDeniedSystem,
                                    where + " refused the request after authentication."));
        }
        if (raw.status != 200 && raw.status != 400 && raw.status != 500)
            fail(hr::RpcUnavailable,
                 describeWithReason(hr::RpcUnavailable, where + " answered HTTP " +
                                                            std::to_string(raw.status) +
                                                            ": no WS-Management service there."));
        HttpReply reply;
        reply.status = raw.status;
        if (seal) {
            try {
                reply.body = openMessage(*context_, raw.headers.contentType, raw.body);
            } catch (const WbemError&) {
                // Whoever altered this reply may hold the connection, and the
                // context's sequence is off: start over on a new one.
                context_.reset();
                freshConnection_ = true;
                throw;
            }
            reply.encrypted = true;
        } else {
            reply.body = std::move(raw.body);
        }
        return reply;
    }
}

HttpReply Transport::send(std::string_view body) {
    CURL* c = handle_->easy.get();
    const http::CurlLibrary& curl = http::curlApi();
    HttpReply reply;
    http::BodySink sink{&reply.body, options_.maxReplyBytes};
    handle_->easy.clearError();
    curl.easy_setopt(c, CURLOPT_POST, 1L);
    curl.easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl.easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl.easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    const CURLcode rc = curl.easy_perform(c);
    if (rc != CURLE_OK) handle_->easy.failTransfer(rc, sink, endpoint_.url(), endpoint_.host);
    curl.easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    return reply;
}

HttpReply Transport::exchange(std::string_view envelope, bool authenticate) {
    CURL* c = handle_->easy.get();
    const http::CurlLibrary& curl = http::curlApi();
    if (authenticate && !options_.user.empty()) {
        curl.easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl.easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
        curl.easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
    } else {
        curl.easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_NONE));
        curl.easy_setopt(c, CURLOPT_USERNAME, nullptr);
        curl.easy_setopt(c, CURLOPT_PASSWORD, nullptr);
    }
    curl.easy_setopt(c, CURLOPT_HTTPHEADER,
                     authenticate ? handle_->headers : handle_->anonymousHeaders);
    HttpReply reply = send(envelope);
    const std::string where = endpoint_.url();
    switch (reply.status) {
        case 200:
        case 400:
        case 500:
            return reply;
        case 401:
            fail(hr::AccessDeniedSystem,
                 describeWithReason(hr::AccessDeniedSystem,
                                    where + " refused the user name or password."));
        default:
            fail(hr::RpcUnavailable,
                 describeWithReason(hr::RpcUnavailable, where + " answered HTTP " +
                                                            std::to_string(reply.status) +
                                                            ": no WS-Management service there."));
    }
}

}  // namespace wbem::winrm
