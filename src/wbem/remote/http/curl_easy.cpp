#include "curl_easy.h"

#include "wbem/errors.h"
#include "wbem/stop_scope.h"

namespace wbem::http {

namespace {

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > sink->cap) {
        sink->overflow = true;
        return 0;  // makes curl stop with a write error
    }
    sink->body->append(data, n);
    return n;
}

// Also the calling thread's stop (stop_scope.h): curl calls this at least
// once a second, so a call to a silent host gives up soon after.
int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(user)->load() || stopRequested() ? 1 : 0;
}

}  // namespace

CurlEasy::CurlEasy(const RemoteOptions& r, const char* userAgent, std::atomic<bool>& cancelled)
    : cancelled_(cancelled) {
    const CurlLibrary& curl = curlApi();
    CURL* c = curl_ = curl.easy_init();
    if (!c) fail(hr::OutOfMemory);
    curl.easy_setopt(c, CURLOPT_USERAGENT, userAgent);
    curl.easy_setopt(c, CURLOPT_ERRORBUFFER, error_);
    curl.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl.easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    // One connection, not a pool: a Negotiate context belongs to one, and a
    // connection opened anew (CURLOPT_FRESH_CONNECT) must retire the old.
    curl.easy_setopt(c, CURLOPT_MAXCONNECTS, 1L);
    curl.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(r.connectTimeoutMs));
    curl.easy_setopt(c, CURLOPT_TIMEOUT_MS, long(r.operationTimeoutMs));
    curl.easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!r.caFile.empty()) {
        // The file is trusted beside the system's CAs, not instead of them.
        curl.easy_setopt(c, CURLOPT_CAINFO, r.caFile.c_str());
#ifdef CURL_CA_PATH
        curl.easy_setopt(c, CURLOPT_CAPATH, CURL_CA_PATH);
#else
        curl.easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
#endif
    }
    curl.easy_setopt(c, CURLOPT_WRITEFUNCTION, writeBody);
    curl.easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl.easy_setopt(c, CURLOPT_XFERINFODATA, &cancelled_);
}

CurlEasy::~CurlEasy() {
    if (curl_) curlApi().easy_cleanup(curl_);
}

void CurlEasy::failTransfer(CURLcode rc, const BodySink& sink, const std::string& where,
                            const std::string& host) {
    const std::string detail = error_[0] ? error_ : curlApi().easy_strerror(rc);
    switch (rc) {
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
                 describeWithReason(hr::SecureFailure, "The certificate of " + host +
                                                           " could not be verified: " + detail));
        case CURLE_OPERATION_TIMEDOUT:
            fail(hr::RpcUnavailable,
                 describeWithReason(hr::RpcUnavailable,
                                    where + " did not answer in time: " + detail));
        default:
            fail(hr::RpcUnavailable, describeWithReason(hr::RpcUnavailable, where + ": " + detail));
    }
}

}  // namespace wbem::http
