#include "enumeration_contexts.h"

#include <openssl/rand.h>

#include "cim_status_error.h"

namespace agent {

namespace {

std::string randomName() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw CimStatusError(cimStatus::Failed, "No random numbers for an enumeration context.");
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace

void EnumerationContexts::dropExpired(Clock::time_point now) {
    for (auto it = open_.begin(); it != open_.end();)
        it = it->second->expiry <= now ? open_.erase(it) : std::next(it);
}

std::string EnumerationContexts::add(std::unique_ptr<EnumerationContext> context) {
    const auto now = Clock::now();
    context->expiry = now + context->timeout;
    std::lock_guard lock(mutex_);
    dropExpired(now);
    size_t ofUser = 0;
    for (const auto& [name, c] : open_) ofUser += c->user == context->user;
    if (open_.size() + taken_ >= maxTotal_ || ofUser >= maxPerUser_)
        throw CimStatusError(cimStatus::ServerLimitsExceeded,
                             "Too many open enumerations; close some or let them expire.");
    std::string name = randomName();
    open_.emplace(name, std::move(context));
    return name;
}

std::unique_ptr<EnumerationContext> EnumerationContexts::take(const std::string& name,
                                                              const std::string& user,
                                                              const std::string& nspace) {
    std::lock_guard lock(mutex_);
    dropExpired(Clock::now());
    auto it = open_.find(name);
    if (it == open_.end() || it->second->user != user || it->second->nspace != nspace)
        throw CimStatusError(cimStatus::InvalidEnumerationContext,
                             "No open enumeration of that name (it may have expired).");
    auto context = std::move(it->second);
    open_.erase(it);
    ++taken_;
    return context;
}

void EnumerationContexts::putBack(const std::string& name,
                                  std::unique_ptr<EnumerationContext> context) {
    std::lock_guard lock(mutex_);
    --taken_;
    if (!context) return;
    context->expiry = Clock::now() + context->timeout;
    open_.emplace(name, std::move(context));
}

size_t EnumerationContexts::size() const {
    std::lock_guard lock(mutex_);
    return open_.size() + taken_;
}

}  // namespace agent
