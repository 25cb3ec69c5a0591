// The libcurl easy handle as every remote back end sets it up: one kept-alive
// connection, http(s) only, no redirects, TLS verified against the system's
// CAs plus an optional CA file, deadlines for connecting and for each
// exchange, a capped reply body, cancellation from another thread; and the
// WMI error for a transfer that did not complete.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "wbem/remote/http/curl_library.h"
#include "wbem/remote_options.h"

namespace wbem::http {

// Where a reply body goes, with the cap on its size.
struct BodySink {
    std::string* body;
    size_t cap;
    bool overflow = false;
};

class CurlEasy {
  public:
    // Body bytes go to the BodySink given as CURLOPT_WRITEDATA; `cancelled`
    // set stops a transfer under way. Throws WbemError OutOfMemory.
    CurlEasy(const RemoteOptions& options, const char* userAgent, std::atomic<bool>& cancelled);
    ~CurlEasy();
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return curl_; }

    // Throws the WbemError for a transfer that ended with `rc` (not CURLE_OK):
    // a reply over the sink's cap, a cancellation (the flag is cleared), a
    // certificate not verified, a timeout, anything else as unreachable.
    // `where` names the server in the texts, `host` its certificate's name.
    [[noreturn]] void failTransfer(CURLcode rc, const BodySink& sink, const std::string& where,
                                   const std::string& host);

    // Empties the error buffer before a transfer.
    void clearError() { error_[0] = 0; }

  private:
    CURL* curl_ = nullptr;
    std::atomic<bool>& cancelled_;
    char error_[CURL_ERROR_SIZE] = {};
};

}  // namespace wbem::http
