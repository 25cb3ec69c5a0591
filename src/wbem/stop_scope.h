// A stop for the long operations of one thread: the caller of an operation
// that may run for long (a query over many objects, a call to a silent host)
// hands a flag to the thread doing it, and raises the flag from any other
// thread to have the operation give up. The places that can give up (between
// the instances a query tests, while a remote call waits for its host) look
// at it and fail with CallCancelled.
#pragma once

#include <atomic>

#include "wbem/errors.h"

namespace wbem {

namespace detail {
inline thread_local const std::atomic<bool>* stopFlag = nullptr;
}  // namespace detail

// Makes `flag` the calling thread's stop while the scope lasts; nests.
class StopScope {
  public:
    explicit StopScope(const std::atomic<bool>* flag) : previous_(detail::stopFlag) {
        detail::stopFlag = flag;
    }
    ~StopScope() { detail::stopFlag = previous_; }
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

  private:
    const std::atomic<bool>* previous_;
};

// Whether the calling thread's stop has been raised.
inline bool stopRequested() {
    const std::atomic<bool>* flag = detail::stopFlag;
    return flag && flag->load(std::memory_order_relaxed);
}

// The calling thread's stop taken once, for a loop that looks at it at every
// step: the check fails with CallCancelled once the stop has been raised, and
// costs a load of the flag, not a look-up of the thread's own.
class StopCheck {
  public:
    StopCheck() : flag_(detail::stopFlag) {}
    void operator()() const {
        if (flag_ && flag_->load(std::memory_order_relaxed)) fail(hr::CallCancelled);
    }

  private:
    const std::atomic<bool>* flag_;
};

}  // namespace wbem
