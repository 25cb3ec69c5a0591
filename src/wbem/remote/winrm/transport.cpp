#include "transport.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

#include "wbem/errors.h"
#include "wbem/text.h"

namespace wbem::winrm {

namespace {

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void wipe(std::string& secret) {
    if (!secret.empty()) {
        volatile char* p = secret.data();
        for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
    }
    secret.clear();
}

struct Sink {
    std::string* body;
    size_t cap;
    bool overflow = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > sink->cap) {
        sink->overflow = true;
        return 0;  // makes curl stop with a write error
    }
    sink->body->append(data, n);
    return n;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(user)->load() ? 1 : 0;
}

}  // namespace

struct Transport::Handle {
    CURL* curl = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* anonymousHeaders = nullptr;  // also marks an Identify as unauthenticated
    char error[CURL_ERROR_SIZE] = {};
    ~Handle() {
        if (headers) curl_slist_free_all(headers);
        if (anonymousHeaders) curl_slist_free_all(anonymousHeaders);
        if (curl) curl_easy_cleanup(curl);
    }
};

Transport::Transport(Endpoint endpoint, TransportOptions options)
    : endpoint_(std::move(endpoint)), options_(std::move(options)) {
    const RemoteOptions& r = options_.remote;
    if (r.auth != AuthMethod::Basic) {
        policyCode_ = hr::NotSupported;
        policyError_ = describeWithReason(
            hr::NotSupported, std::string(authMethodName(r.auth)) +
                                  " authentication is not available yet; use Basic over HTTPS "
                                  "(-auth:basic).");
    } else if (!endpoint_.tls && !r.allowUnencrypted) {
        policyCode_ = hr::AccessDeniedSystem;
        policyError_ = describeWithReason(
            hr::AccessDeniedSystem,
            "Basic authentication over plain HTTP would send the password in the clear; use "
            "https:// or allow unencrypted (-unencrypted).");
    }
    if (policyCode_) wipe(options_.password);
    globalInit();
    handle_ = std::make_unique<Handle>();
    CURL* c = handle_->curl = curl_easy_init();
    if (!c) fail(hr::OutOfMemory);
    handle_->headers =
        curl_slist_append(handle_->headers, "Content-Type: application/soap+xml;charset=UTF-8");
    handle_->headers = curl_slist_append(handle_->headers, "Expect:");
    for (const char* h : {"Content-Type: application/soap+xml;charset=UTF-8", "Expect:",
                          "WSMANIDENTIFY: unauthenticated"})
        handle_->anonymousHeaders = curl_slist_append(handle_->anonymousHeaders, h);
    const std::string url = endpoint_.url();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, handle_->headers);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Cimscope WinRM client");
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, handle_->error);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(r.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(r.operationTimeoutMs));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!r.caFile.empty()) {
        // The file is trusted beside the system's CAs, not instead of them.
        curl_easy_setopt(c, CURLOPT_CAINFO, r.caFile.c_str());
#ifdef CURL_CA_PATH
        curl_easy_setopt(c, CURLOPT_CAPATH, CURL_CA_PATH);
#else
        curl_easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
#endif
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &cancelled_);
}

Transport::~Transport() {
    handle_.reset();
    wipe(options_.password);
}

void Transport::checkAuthentication() const {
    if (policyCode_) fail(policyCode_, policyError_);
}

HttpReply Transport::post(std::string_view envelope) {
    checkAuthentication();
    return exchange(envelope, true);
}

HttpReply Transport::postUnauthenticated(std::string_view envelope) {
    return exchange(envelope, false);
}

HttpReply Transport::exchange(std::string_view envelope, bool authenticate) {
    CURL* c = handle_->curl;
    if (authenticate && !options_.user.empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_NONE));
        curl_easy_setopt(c, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(c, CURLOPT_PASSWORD, nullptr);
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER,
                     authenticate ? handle_->headers : handle_->anonymousHeaders);
    HttpReply reply;
    Sink sink{&reply.body, options_.maxReplyBytes};
    handle_->error[0] = 0;
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, envelope.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(envelope.size()));
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    const CURLcode rc = curl_easy_perform(c);
    const std::string where = endpoint_.url();
    const std::string detail = handle_->error[0] ? handle_->error : curl_easy_strerror(rc);
    switch (rc) {
    case CURLE_OK:
        break;
    case CURLE_WRITE_ERROR:
        if (sink.overflow)
            fail(hr::Failed,
                 describeWithReason(hr::Failed, "The reply from " + where + " is larger than " +
                                                    std::to_string(sink.cap) + " bytes."));
        fail(hr::Failed, describeWithReason(hr::Failed, detail));
    case CURLE_ABORTED_BY_CALLBACK:
        cancelled_.store(false);
        fail(hr::CallCancelled);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
        fail(hr::SecureFailure,
             describeWithReason(hr::SecureFailure, "The certificate of " + endpoint_.host +
                                                       " could not be verified: " + detail));
    case CURLE_OPERATION_TIMEDOUT:
        fail(hr::RpcUnavailable,
             describeWithReason(hr::RpcUnavailable, where + " did not answer in time: " + detail));
    default:
        fail(hr::RpcUnavailable, describeWithReason(hr::RpcUnavailable, where + ": " + detail));
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
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
