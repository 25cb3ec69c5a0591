// GSSAPI for WinRM's Negotiate authentication: credentials (a Kerberos
// ticket cache, Kerberos or NTLM with a password), one security context per
// HTTP connection, and the wrap/unwrap that message encryption is made of.
// Kerberos is MIT krb5's mechanism; NTLM is gss-ntlmssp's (NTLMv2). Tokens go
// raw in "Authorization: Negotiate", as Windows clients send them, without
// SPNEGO around them. Failures are thrown as WbemError Access is denied with
// the mechanism's reason.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace wbem::winrm {

enum class GssMech { Kerberos, Ntlm };

std::string_view gssMechName(GssMech mech);

// "HTTP@host": the host-based service name WinRM registers (HTTP/host as a
// Kerberos principal). Brackets of an IPv6 literal are not part of it.
std::string gssServiceName(std::string_view host);

// Acquired credentials; the password is handed to GSSAPI here and need not
// be kept by the caller afterwards.
class GssCredential {
  public:
    // Kerberos: without a password, the ticket cache (of `user` when given);
    // with one, a ticket got for user@REALM. NTLM: DOMAIN\user or user@domain
    // and a password. Throws WbemError (Access is denied) with the reason.
    GssCredential(GssMech mech, std::string_view user, std::string_view password);
    ~GssCredential();
    GssCredential(const GssCredential&) = delete;
    GssCredential& operator=(const GssCredential&) = delete;

    GssMech mech() const { return mech_; }

  private:
    friend class GssContext;
    GssMech mech_;
    void* cred_ = nullptr;  // gss_cred_id_t
};

class GssContext {
  public:
    GssContext(std::shared_ptr<const GssCredential> credential, std::string_view host);
    ~GssContext();
    GssContext(const GssContext&) = delete;
    GssContext& operator=(const GssContext&) = delete;

    // The token to send, from the server's last token (empty at the start);
    // may return "" when the context completed without one. Throws WbemError
    // (Access is denied) with the mechanism's reason.
    std::string step(std::string_view serverToken);
    bool complete() const { return complete_; }
    GssMech mech() const { return credential_->mech(); }

    // Seals a message: the signature (the token header) and the encrypted
    // bytes, as WinRM's message encryption carries them apart.
    struct Sealed {
        std::string signature;
        std::string data;
    };
    Sealed wrap(std::string_view plain);
    // Checks and opens a sealed message. Throws WbemError when the signature
    // does not verify or the message was not encrypted.
    std::string unwrap(std::string_view signature, std::string_view data);

  private:
    std::shared_ptr<const GssCredential> credential_;
    void* target_ = nullptr;   // gss_name_t
    void* context_ = nullptr;  // gss_ctx_id_t
    bool complete_ = false;
};

}  // namespace wbem::winrm
