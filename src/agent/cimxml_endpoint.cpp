#include "cimxml_endpoint.h"

#include <cstdio>
#include <thread>

#include "cim_status_error.h"
#include "request.h"
#include "wbem/remote/percent_encoding.h"
#include "wbem/text.h"

namespace agent {

namespace {

HttpResponse plain(int status, const std::string& text, HeaderList headers = {}) {
    return {status, std::move(headers), text + "\n", false};
}

HttpResponse refused(const RequestError& e) {
    return {e.httpStatus(),
            {{"CIMError", e.cimError()}, {"Content-Type", "text/plain; charset=utf-8"}},
            std::string(e.what()) + "\n",
            e.httpStatus() >= 500};
}

// One line on standard error for what an operator may want to see; never
// with a password, and with the client's text made harmless.
void note(const std::string& peer, const std::string& what) {
    std::string clean;
    for (char c : what) clean += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    if (clean.size() > 300) clean.resize(300);
    std::fprintf(stderr, "cimscope-agent: %s: %s\n", peer.c_str(), clean.c_str());
}

}  // namespace

CimxmlEndpoint::CimxmlEndpoint(Operations& operations, LoginGuard& guard,
                               std::chrono::milliseconds requestTime, unsigned maxBusy)
    : operations_(operations), guard_(guard), requestTime_(requestTime), turns_(maxBusy) {}

bool CimxmlEndpoint::Turns::take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (!freed_.wait_for(lock, wait, [this] { return free_ > 0; })) return false;
    --free_;
    return true;
}

void CimxmlEndpoint::Turns::give() {
    {
        std::lock_guard lock(mutex_);
        ++free_;
    }
    freed_.notify_one();
}

namespace {

constexpr std::chrono::minutes kTurnWait{1};

HttpResponse busy() {
    return {503, {{"Retry-After", "5"}}, "The agent is busy; try again shortly.\n", true};
}

}  // namespace

HttpResponse CimxmlEndpoint::handle(const HttpRequest& request) {
    if (request.target != "/cimom" && request.target != "/")
        return plain(404, "Nothing here; CIM-XML requests go to /cimom.");
    if (request.method == "M-POST") return plain(501, "M-POST is not served; use POST.");
    if (request.method != "POST") return plain(405, "Only POST is served.", {{"Allow", "POST"}});

    // The password check is costly (a slow hash, or PAM): it takes a turn,
    // unless these credentials logged in lately. A failure's delay is waited
    // out without a turn.
    LoginGuard::Outcome login;
    login.user = guard_.remembered(request.header("Authorization"));
    if (!login.user) {
        if (!turns_.take(kTurnWait)) return busy();
        try {
            login = guard_.check(request.header("Authorization"), request.peer);
        } catch (...) {
            turns_.give();
            throw;
        }
        turns_.give();
    }
    const auto& user = login.user;
    if (!user) {
        std::this_thread::sleep_for(login.delay);
        if (request.header("Authorization")) note(request.peer, "login refused");
        return plain(401, "Log in with a user name and password.",
                     {{"WWW-Authenticate", "Basic realm=\"cimscope-agent\""}});
    }

    const auto operation = request.header("CIMOperation");
    if (!operation || !wbem::iequals(wbem::trimmed(*operation), "MethodCall"))
        return refused(
            {400, "unsupported-operation", "The CIMOperation header must be MethodCall."});
    const auto cimMethod = request.header("CIMMethod");
    if (!cimMethod) return refused({400, "header-mismatch", "The CIMMethod header is missing."});

    Call call;
    try {
        call = readCall(request.body, wbem::remote::percentDecode(*cimMethod));
    } catch (const RequestError& e) {
        note(request.peer, std::string("refused request: ") + e.what());
        return refused(e);
    }

    if (!turns_.take(kTurnWait)) return busy();
    struct GiveBack {
        Turns& turns;
        ~GiveBack() { turns.give(); }
    } giveBack{turns_};
    std::string body;
    try {
        const Deadline deadline(requestTime_);
        body = responseXml(call, operations_.call(call, *user, deadline));
    } catch (const CimStatusError& e) {
        body = errorXml(call, e.status(), e.what());
    } catch (const std::bad_alloc&) {
        body = errorXml(call, cimStatus::ServerLimitsExceeded, "The agent ran out of memory.");
    } catch (const std::exception& e) {
        body = errorXml(call, cimStatus::Failed, e.what());
    }
    return {200,
            {{"Content-Type", "application/xml; charset=\"utf-8\""},
             {"CIMOperation", "MethodResponse"}},
            std::move(body),
            false};
}

}  // namespace agent
