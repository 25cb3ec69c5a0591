// HTTP(S) transport of a WinRM session over libcurl: one handle, so one
// kept-alive connection, per session; TLS verified against the system's CAs
// plus an optional CA file; deadlines for connecting and for each exchange.
// Negotiate (Kerberos, NTLM) authenticates the connection through GSSAPI;
// over plain HTTP every message is then sealed with that context (WinRM's
// message encryption), over HTTPS TLS carries it. A connection libcurl had to
// open anew is authenticated anew, once per request.
// Transport failures are thrown as WbemError with WMI's codes.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "endpoint.h"
#include "wbem/remote/http/http_client.h"
#include "wbem/remote_options.h"

namespace wbem::winrm {

using http::wipeSecret;

struct TransportOptions {
    RemoteOptions remote;
    std::string user;
    // Basic sends it with every request; Negotiate hands it to GSSAPI once and
    // wipes it. Wiped when the transport goes in any case.
    std::string password;
    size_t maxReplyBytes = size_t(32) << 20;
};

struct HttpReply {
    long status = 0;
    std::string body;
    bool encrypted = false;  // came sealed and was opened
};

class GssContext;
class GssCredential;

class Transport {
  public:
    // Options that cannot be honoured (Basic over plain HTTP without
    // allowUnencrypted, a method this build cannot do) make every
    // authenticated post fail; unauthenticated ones still go, so that an
    // unreachable host is reported as such first.
    Transport(Endpoint endpoint, TransportOptions options);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Posts one SOAP envelope. Returns the reply of status 200, and of 400
    // and 500, which carry SOAP faults. Throws WbemError for everything else:
    // 401 as Access is denied, an unreachable or silent host as The RPC server
    // is unavailable, a certificate that does not verify as a security error
    // naming the host, a reply over the size cap, a cancelled call.
    HttpReply post(std::string_view envelope);
    // The same without credentials, as WinRM takes an Identify marked
    // unauthenticated.
    HttpReply postUnauthenticated(std::string_view envelope);
    // Throws the reason the options cannot be honoured, if there is one.
    void checkAuthentication() const;

    // Makes a post in progress on another thread give up (CallCancelled).
    void cancel() { cancelled_.store(true); }

    const Endpoint& endpoint() const { return endpoint_; }

    // Whether messages go sealed (Negotiate over plain HTTP).
    bool sealsMessages() const;

  private:
    struct Raw;
    HttpReply exchange(std::string_view envelope, bool authenticate);
    HttpReply send(std::string_view body);
    HttpReply negotiated(std::string_view envelope);
    void handshake();
    void handshakeWith(const std::shared_ptr<const GssCredential>& credential);
    std::shared_ptr<const GssCredential> credentialFor(int mech);
    Raw perform(std::string_view body, const std::string& contentType,
                const std::string& authorization);

    struct Handle;
    Endpoint endpoint_;
    TransportOptions options_;
    std::unique_ptr<Handle> handle_;
    std::atomic<bool> cancelled_{false};
    HResult policyCode_ = 0;
    std::string policyError_;
    // Negotiate: the credentials acquired (Kerberos, NTLM) and the context of
    // the connection in use.
    std::shared_ptr<const GssCredential> credentials_[2];
    std::unique_ptr<GssContext> context_;
    bool freshConnection_ = false;  // the next request opens a new connection
};

}  // namespace wbem::winrm
