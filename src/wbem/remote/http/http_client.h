// A small HTTP(S) client over libcurl for the remote back ends: one handle,
// so one kept-alive connection, per client; TLS verified against the
// system's CAs plus an optional CA file; deadlines for connecting and for
// each exchange; a cap on the reply's size; cancellation from another
// thread. Basic authentication only over TLS unless plain HTTP is allowed.
// Transport failures are thrown as WbemError with WMI's codes; any HTTP
// status but 401 is handed back for the caller to judge.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wbem/remote_options.h"

namespace wbem::http {

// Overwrites a secret's bytes (the whole buffer) and empties it.
void wipeSecret(std::string& secret);

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Target {
    bool tls = false;
    std::string host;  // without brackets for an IPv6 literal
    int port = 80;

    // scheme://host:port with brackets around an IPv6 literal.
    std::string origin() const;
};

struct ClientOptions {
    RemoteOptions remote;  // caFile, allowUnencrypted, requirePrivacy, timeouts
    std::string user;      // empty: requests go without credentials
    std::string password;  // wiped when the client goes
    size_t maxReplyBytes = size_t(32) << 20;
    std::string userAgent = "Cimscope";
};

struct Reply {
    long status = 0;
    Headers headers;  // of the final response, in order
    std::string body;

    // The first header of that name (letter case ignored).
    std::optional<std::string> header(std::string_view name) const;
};

class Client {
  public:
    Client(Target target, ClientOptions options);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // POSTs `body` to `path` with the headers given (Content-Type among
    // them). Throws WbemError: 401 as Access is denied, an unreachable,
    // refusing or silent host as The RPC server is unavailable with the
    // reason, a certificate that does not verify as a security error naming
    // the host, Basic over plain HTTP when not allowed, a reply over the
    // size cap, a cancelled call (CallCancelled).
    Reply post(std::string_view path, const Headers& headers, std::string_view body);

    // Makes a post in progress on another thread give up.
    void cancel() { cancelled_.store(true); }

    const Target& target() const { return target_; }

  private:
    Target target_;
    ClientOptions options_;
    std::unique_ptr<class CurlEasy> easy_;
    std::atomic<bool> cancelled_{false};
    std::string policyError_;  // why credentials cannot be sent, if they cannot
};

}  // namespace wbem::http
