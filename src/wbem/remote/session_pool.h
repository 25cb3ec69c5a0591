// Remote sessions kept for reuse. Callers connect anew for each operation (a
// class clicked, a query run), as WMI callers do; for a remote host that
// would mean a new TLS handshake, a new login and an empty class cache every
// time. A session left idle by its services waits here for the next
// connection with the same host, namespace, credentials and options.
//
// A session is used by one services object at a time: take() hands it out,
// give() takes it back; idle sessions expire.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/remote_options.h"

namespace wbem::remote {

// The namespace as sessions keep it: trimmed, backslashes, "root\cimv2" when empty.
std::string sessionNamespace(std::string_view nspace);

// What must match for a session to be reused. The password enters only as a
// keyed hash (a random key of this process), so the text holds no secret.
std::string sessionKey(std::string_view host, std::string_view nspace, std::string_view user,
                       std::string_view password, const RemoteOptions& options);

template <class Session>
class SessionPool {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SessionPool(std::chrono::seconds idleFor = std::chrono::seconds(60),
                         size_t maxIdle = 8)
        : idleFor_(idleFor), maxIdle_(maxIdle) {}

    // An idle session for `key`, or null.
    std::shared_ptr<Session> take(const std::string& key) {
        std::lock_guard lock(mutex_);
        dropExpired(Clock::now());
        for (auto it = idle_.begin(); it != idle_.end(); ++it) {
            if (it->key != key) continue;
            auto session = std::move(it->session);
            idle_.erase(it);
            return session;
        }
        return nullptr;
    }

    void give(std::string key, std::shared_ptr<Session> session) {
        if (!session) return;
        std::lock_guard lock(mutex_);
        dropExpired(Clock::now());
        if (idle_.size() >= maxIdle_) idle_.erase(idle_.begin());  // the oldest
        idle_.push_back({std::move(key), std::move(session), Clock::now()});
    }

    size_t idleCount() const {
        std::lock_guard lock(mutex_);
        return idle_.size();
    }

  private:
    struct Idle {
        std::string key;
        std::shared_ptr<Session> session;
        Clock::time_point since;
    };

    void dropExpired(Clock::time_point now) {
        std::erase_if(idle_, [&](const Idle& i) { return now - i.since >= idleFor_; });
    }

    std::chrono::seconds idleFor_;
    size_t maxIdle_;
    mutable std::mutex mutex_;
    std::vector<Idle> idle_;
};

}  // namespace wbem::remote
