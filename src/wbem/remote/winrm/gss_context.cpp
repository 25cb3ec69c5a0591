#include "gss_context.h"

#include <gssapi/gssapi.h>
#include <gssapi/gssapi_ext.h>
#include <gssapi/gssapi_krb5.h>

#include <cstring>

#include "wbem/errors.h"

namespace wbem::winrm {

namespace {

// 1.3.6.1.4.1.311.2.2.10, NTLMSSP, as gss-ntlmssp registers it.
gss_OID_desc ntlmOid = {10, const_cast<char*>("\x2b\x06\x01\x04\x01\x82\x37\x02\x02\x0a")};

gss_OID mechOid(GssMech mech) {
    return mech == GssMech::Kerberos ? const_cast<gss_OID>(gss_mech_krb5) : &ntlmOid;
}

// The texts GSSAPI and the mechanism give for a failure, joined.
std::string statusText(OM_uint32 major, OM_uint32 minor, gss_OID mech) {
    std::string text;
    auto add = [&](OM_uint32 code, int type) {
        OM_uint32 more = 0, m;
        do {
            gss_buffer_desc b = GSS_C_EMPTY_BUFFER;
            if (GSS_ERROR(gss_display_status(&m, code, type, mech, &more, &b))) break;
            std::string part(static_cast<const char*>(b.value), b.length);
            gss_release_buffer(&m, &b);
            if (part.empty() || text.find(part) != std::string::npos) continue;
            if (!text.empty()) text += ": ";
            text += part;
        } while (more != 0);
    };
    add(major, GSS_C_GSS_CODE);
    if (minor) add(minor, GSS_C_MECH_CODE);
    return text;
}

[[noreturn]] void denied(const std::string& reason) {
    fail(hr::AccessDeniedSystem, describeWithReason(hr::AccessDeniedSystem, reason));
}

struct Buffer {
    gss_buffer_desc b = GSS_C_EMPTY_BUFFER;
    ~Buffer() {
        OM_uint32 m;
        if (b.value) gss_release_buffer(&m, &b);
    }
    std::string str() const { return {static_cast<const char*>(b.value), b.length}; }
};

gss_buffer_desc view(std::string_view s) { return {s.size(), const_cast<char*>(s.data())}; }

gss_name_t importName(std::string_view text, gss_OID type, GssMech mech) {
    OM_uint32 minor;
    gss_buffer_desc b = view(text);
    gss_name_t name = GSS_C_NO_NAME;
    const OM_uint32 major = gss_import_name(&minor, &b, type, &name);
    if (GSS_ERROR(major))
        denied("\"" + std::string(text) + "\" is not a user name " +
               std::string(gssMechName(mech)) +
               " takes: " + statusText(major, minor, mechOid(mech)));
    return name;
}

}  // namespace

std::string_view gssMechName(GssMech mech) {
    return mech == GssMech::Kerberos ? "Kerberos" : "NTLM";
}

std::string gssServiceName(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return "HTTP@" + std::string(host);
}

GssCredential::GssCredential(GssMech mech, std::string_view user, std::string_view password)
    : mech_(mech) {
    OM_uint32 minor = 0, major = 0;
    gss_OID_set_desc mechs = {1, mechOid(mech)};
    gss_cred_id_t cred = GSS_C_NO_CREDENTIAL;
    if (mech == GssMech::Ntlm && (user.empty() || password.empty()))
        denied("NTLM needs a user name (DOMAIN\\user or user@domain) and a password.");
    gss_name_t name = GSS_C_NO_NAME;
    if (!user.empty())
        name = importName(
            user, mech == GssMech::Kerberos ? GSS_KRB5_NT_PRINCIPAL_NAME : GSS_C_NT_USER_NAME,
            mech);
    if (password.empty()) {
        major = gss_acquire_cred(&minor, name, GSS_C_INDEFINITE, &mechs, GSS_C_INITIATE, &cred,
                                 nullptr, nullptr);
    } else {
        gss_buffer_desc secret = view(password);
        major = gss_acquire_cred_with_password(&minor, name, &secret, GSS_C_INDEFINITE, &mechs,
                                               GSS_C_INITIATE, &cred, nullptr, nullptr);
    }
    if (name != GSS_C_NO_NAME) {
        OM_uint32 m;
        gss_release_name(&m, &name);
    }
    if (GSS_ERROR(major)) {
        const std::string why = statusText(major, minor, mechOid(mech));
        if (mech == GssMech::Kerberos && password.empty())
            denied("No Kerberos ticket" +
                   (user.empty() ? std::string() : " for " + std::string(user)) +
                   " (run kinit first, or give user@REALM and a password): " + why);
        if (mech == GssMech::Kerberos)
            denied("No Kerberos ticket could be had for " + std::string(user) + ": " + why);
        denied("NTLM credentials could not be made for " + std::string(user) + ": " + why);
    }
    cred_ = cred;
}

GssCredential::~GssCredential() {
    OM_uint32 m;
    auto cred = static_cast<gss_cred_id_t>(cred_);
    if (cred != GSS_C_NO_CREDENTIAL) gss_release_cred(&m, &cred);
}

GssContext::GssContext(std::shared_ptr<const GssCredential> credential, std::string_view host)
    : credential_(std::move(credential)) {
    target_ = importName(gssServiceName(host), GSS_C_NT_HOSTBASED_SERVICE, credential_->mech());
}

GssContext::~GssContext() {
    OM_uint32 m;
    auto ctx = static_cast<gss_ctx_id_t>(context_);
    if (ctx != GSS_C_NO_CONTEXT) gss_delete_sec_context(&m, &ctx, GSS_C_NO_BUFFER);
    auto name = static_cast<gss_name_t>(target_);
    if (name != GSS_C_NO_NAME) gss_release_name(&m, &name);
}

std::string GssContext::step(std::string_view serverToken) {
    if (complete_) denied("The server sent more authentication data than expected.");
    OM_uint32 minor = 0, flags = 0;
    gss_buffer_desc in = view(serverToken);
    Buffer out;
    auto ctx = static_cast<gss_ctx_id_t>(context_);
    const GssMech mech = credential_->mech();
    const OM_uint32 major = gss_init_sec_context(
        &minor, static_cast<gss_cred_id_t>(credential_->cred_), &ctx,
        static_cast<gss_name_t>(target_), mechOid(mech),
        GSS_C_MUTUAL_FLAG | GSS_C_CONF_FLAG | GSS_C_INTEG_FLAG | GSS_C_REPLAY_FLAG |
            GSS_C_SEQUENCE_FLAG,
        0, GSS_C_NO_CHANNEL_BINDINGS, serverToken.empty() ? GSS_C_NO_BUFFER : &in, nullptr, &out.b,
        &flags, nullptr);
    context_ = ctx;
    if (GSS_ERROR(major))
        denied(std::string(gssMechName(mech)) +
               " authentication failed: " + statusText(major, minor, mechOid(mech)));
    if (major == GSS_S_COMPLETE) {
        // Message encryption depends on it; a context without it is useless.
        if (!(flags & GSS_C_CONF_FLAG) || !(flags & GSS_C_INTEG_FLAG))
            denied(std::string(gssMechName(mech)) +
                   " authentication succeeded without message encryption.");
        complete_ = true;
    }
    return out.str();
}

GssContext::Sealed GssContext::wrap(std::string_view plain) {
    OM_uint32 minor = 0, major = 0;
    int conf = 0;
    auto ctx = static_cast<gss_ctx_id_t>(context_);
    Sealed sealed;
    if (credential_->mech() == GssMech::Ntlm) {
        // NTLM's token is the 16-byte signature followed by the sealed bytes.
        gss_buffer_desc in = view(plain);
        Buffer out;
        major = gss_wrap(&minor, ctx, 1, GSS_C_QOP_DEFAULT, &in, &conf, &out.b);
        if (!GSS_ERROR(major) && out.b.length >= 16) {
            const std::string token = out.str();
            sealed.signature = token.substr(0, 16);
            sealed.data = token.substr(16);
        }
    } else {
        // Kerberos puts the header (with the trailer rotated into it) first,
        // as Windows expects, only when asked through the IOV interface.
        sealed.data.assign(plain);
        gss_iov_buffer_desc iov[3] = {};
        iov[0].type = GSS_IOV_BUFFER_TYPE_HEADER | GSS_IOV_BUFFER_FLAG_ALLOCATE;
        iov[1].type = GSS_IOV_BUFFER_TYPE_DATA;
        iov[1].buffer = {sealed.data.size(), sealed.data.data()};
        iov[2].type = GSS_IOV_BUFFER_TYPE_PADDING | GSS_IOV_BUFFER_FLAG_ALLOCATE;
        major = gss_wrap_iov(&minor, ctx, 1, GSS_C_QOP_DEFAULT, &conf, iov, 3);
        if (!GSS_ERROR(major)) {
            sealed.signature.assign(static_cast<const char*>(iov[0].buffer.value),
                                    iov[0].buffer.length);
            sealed.data.append(static_cast<const char*>(iov[2].buffer.value), iov[2].buffer.length);
        }
        OM_uint32 m;
        gss_release_iov_buffer(&m, iov, 3);
    }
    if (GSS_ERROR(major) || !conf || sealed.signature.empty())
        fail(hr::Failed,
             describeWithReason(hr::Failed,
                                "A message could not be encrypted: " +
                                    statusText(major, minor, mechOid(credential_->mech()))));
    return sealed;
}

std::string GssContext::unwrap(std::string_view signature, std::string_view data) {
    std::string token;
    token.reserve(signature.size() + data.size());
    token.append(signature).append(data);
    gss_buffer_desc in = view(token);
    Buffer out;
    OM_uint32 minor = 0;
    int conf = 0;
    const OM_uint32 major =
        gss_unwrap(&minor, static_cast<gss_ctx_id_t>(context_), &in, &out.b, &conf, nullptr);
    if (GSS_ERROR(major))
        fail(hr::SecureFailure,
             describeWithReason(hr::SecureFailure,
                                "A reply failed its integrity check and was not read: " +
                                    statusText(major, minor, mechOid(credential_->mech()))));
    if (!conf)
        fail(hr::SecureFailure,
             describeWithReason(hr::SecureFailure, "A reply came signed but not encrypted."));
    return out.str();
}

}  // namespace wbem::winrm
