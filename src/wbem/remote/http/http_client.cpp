#include "http_client.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

#include "wbem/errors.h"
#include "wbem/text.h"

namespace wbem::http {

void wipeSecret(std::string& secret) {
    // The whole buffer: a moved-from short string keeps its bytes in place.
    secret.resize(secret.capacity());
    explicit_bzero(secret.data(), secret.size());
    secret.clear();
}

std::string Target::origin() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? "https://" : "http://") + (v6 ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

std::optional<std::string> Reply::header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (iequals(n, name)) return v;
    return std::nullopt;
}

namespace {

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

constexpr size_t kMaxHeaderBytes = 64 * 1024;

struct Sink {
    std::string* body;
    Headers* headers;
    size_t cap;
    size_t headerBytes = 0;
    bool overflow = false;
};

size_t readHeader(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    sink->headerBytes += n;
    if (sink->headerBytes > kMaxHeaderBytes) {
        sink->overflow = true;
        return 0;
    }
    std::string_view line(data, n);
    if (line.substr(0, 5) == "HTTP/") {
        sink->headers->clear();  // a 100 Continue or an auth round before the final one
        return n;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return n;
    sink->headers->emplace_back(std::string(trimmed(line.substr(0, colon))),
                                std::string(trimmed(line.substr(colon + 1))));
    return n;
}

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

struct Client::Handle {
    CURL* curl = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    ~Handle() {
        if (curl) curl_easy_cleanup(curl);
    }
};

Client::Client(Target target, ClientOptions options)
    : target_(std::move(target)), options_(std::move(options)) {
    wipeSecret(options.password);
    const RemoteOptions& r = options_.remote;
    if (!options_.user.empty() && !target_.tls) {
        if (r.requirePrivacy)
            policyError_ =
                "The authentication level Packet Privacy needs encryption, which Basic over "
                "plain HTTP does not have; use an HTTPS address.";
        else if (!r.allowUnencrypted)
            policyError_ =
                "Basic authentication over plain HTTP would send the password in the clear; "
                "use an HTTPS address or allow unencrypted (-unencrypted).";
    }
    if (!policyError_.empty()) wipeSecret(options_.password);
    globalInit();
    handle_ = std::make_unique<Handle>();
    CURL* c = handle_->curl = curl_easy_init();
    if (!c) fail(hr::OutOfMemory);
    curl_easy_setopt(c, CURLOPT_USERAGENT, options_.userAgent.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, handle_->error);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_MAXCONNECTS, 1L);
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
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &cancelled_);
    if (!options_.user.empty() && policyError_.empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
    }
}

Client::~Client() {
    handle_.reset();
    wipeSecret(options_.password);
}

Reply Client::post(std::string_view path, const Headers& headers, std::string_view body) {
    if (!policyError_.empty())
        fail(hr::AccessDeniedSystem, describeWithReason(hr::AccessDeniedSystem, policyError_));
    CURL* c = handle_->curl;
    const std::string url = target_.origin() + std::string(path);
    curl_slist* list = nullptr;
    struct Free {
        curl_slist** l;
        ~Free() { curl_slist_free_all(*l); }
    } freeList{&list};
    for (const auto& [name, value] : headers) {
        // A line break would let a value start a header of its own.
        if (name.find_first_of("\r\n:") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos)
            fail(hr::InvalidParameter);
        list = curl_slist_append(list, (name + ": " + value).c_str());
    }
    list = curl_slist_append(list, "Expect:");
    Reply reply;
    Sink sink{&reply.body, &reply.headers, options_.maxReplyBytes};
    handle_->error[0] = 0;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &sink);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    const std::string where = target_.origin();
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
                 describeWithReason(hr::SecureFailure, "The certificate of " + target_.host +
                                                           " could not be verified: " + detail));
        case CURLE_OPERATION_TIMEDOUT:
            fail(hr::RpcUnavailable,
                 describeWithReason(hr::RpcUnavailable,
                                    where + " did not answer in time: " + detail));
        default:
            fail(hr::RpcUnavailable, describeWithReason(hr::RpcUnavailable, where + ": " + detail));
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    if (reply.status == 401)
        fail(hr::AccessDeniedSystem,
             describeWithReason(
                 hr::AccessDeniedSystem,
                 where + (options_.user.empty() ? " wants a user name and password."
                                                : " refused the user name or password.")));
    return reply;
}

}  // namespace wbem::http
