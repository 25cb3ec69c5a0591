#include "http_client.h"

#include <cstring>
#include <mutex>

#include "curl_easy.h"
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

constexpr size_t kMaxHeaderBytes = 64 * 1024;

// Where the reply's headers go, with the cap on their size.
struct HeaderSink {
    Headers* headers;
    size_t headerBytes = 0;
    bool overflow = false;
};

size_t readHeader(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<HeaderSink*>(user);
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

}  // namespace

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
    easy_ = std::make_unique<CurlEasy>(r, options_.userAgent.c_str(), cancelled_);
    CURL* c = easy_->get();
    const CurlLibrary& curl = curlApi();
    curl.easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
    if (!options_.user.empty() && policyError_.empty()) {
        curl.easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl.easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
        curl.easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
    }
}

Client::~Client() {
    easy_.reset();
    wipeSecret(options_.password);
}

Reply Client::post(std::string_view path, const Headers& headers, std::string_view body) {
    if (!policyError_.empty())
        fail(hr::AccessDeniedSystem, describeWithReason(hr::AccessDeniedSystem, policyError_));
    CURL* c = easy_->get();
    const CurlLibrary& curl = curlApi();
    const std::string url = target_.origin() + std::string(path);
    curl_slist* list = nullptr;
    struct Free {
        curl_slist** l;
        ~Free() { curlApi().slist_free_all(*l); }
    } freeList{&list};
    for (const auto& [name, value] : headers) {
        // A line break would let a value start a header of its own.
        if (name.find_first_of("\r\n:") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos)
            fail(hr::InvalidParameter);
        list = curl.slist_append(list, (name + ": " + value).c_str());
    }
    list = curl.slist_append(list, "Expect:");
    Reply reply;
    BodySink bodySink{&reply.body, options_.maxReplyBytes};
    HeaderSink headerSink{&reply.headers};
    easy_->clearError();
    curl.easy_setopt(c, CURLOPT_URL, url.c_str());
    curl.easy_setopt(c, CURLOPT_HTTPHEADER, list);
    curl.easy_setopt(c, CURLOPT_POST, 1L);
    curl.easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl.easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl.easy_setopt(c, CURLOPT_WRITEDATA, &bodySink);
    curl.easy_setopt(c, CURLOPT_HEADERDATA, &headerSink);
    const CURLcode rc = curl.easy_perform(c);
    curl.easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    const std::string where = target_.origin();
    if (rc != CURLE_OK) {
        if (headerSink.overflow)
            fail(hr::Failed,
                 describeWithReason(hr::Failed, "The reply headers from " + where +
                                                    " are larger than " +
                                                    std::to_string(kMaxHeaderBytes) + " bytes."));
        easy_->failTransfer(rc, bodySink, where, target_.host);
    }
    curl.easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    if (reply.status == 401)
        fail(hr::AccessDeniedSystem,
             describeWithReason(
                 hr::AccessDeniedSystem,
                 where + (options_.user.empty() ? " wants a user name and password."
                                                : " refused the user name or password.")));
    return reply;
}

}  // namespace wbem::http
