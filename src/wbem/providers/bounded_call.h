// Calls that may hang (statvfs of a network mount whose server is gone) run
// on a helper thread and are waited for a bounded time. A call still stuck
// from an earlier attempt is not repeated: its key stays busy until it
// returns, so a dead mount costs one parked thread, not one per query.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace wbem {

enum class BoundedOutcome { Done, Failed, TimedOut, StillBusy };

namespace detail {
// Marks `key` busy; false when it already is.
bool claimBoundedKey(const std::string& key);
void releaseBoundedKey(const std::string& key);
}  // namespace detail

template <class T>
struct BoundedResult {
    BoundedOutcome outcome;
    std::optional<T> value;  // set when outcome is Done
};

template <class T>
BoundedResult<T> runBounded(const std::string& key, std::chrono::milliseconds limit,
                            std::function<T()> work) {
    if (!detail::claimBoundedKey(key)) return {BoundedOutcome::StillBusy, std::nullopt};
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        std::optional<T> value;
    };
    auto state = std::make_shared<State>();
    try {
        std::thread([state, key, work = std::move(work)]() mutable {
            std::optional<T> v;
            try {
                v = work();
            } catch (...) {
            }
            detail::releaseBoundedKey(key);
            std::lock_guard<std::mutex> lock(state->m);
            state->value = std::move(v);
            state->done = true;
            state->cv.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        detail::releaseBoundedKey(key);
        return {BoundedOutcome::Failed, std::nullopt};
    }
    std::unique_lock<std::mutex> lock(state->m);
    if (!state->cv.wait_for(lock, limit, [&] { return state->done; }))
        return {BoundedOutcome::TimedOut, std::nullopt};
    if (!state->value) return {BoundedOutcome::Failed, std::nullopt};
    return {BoundedOutcome::Done, std::move(state->value)};
}

}  // namespace wbem
