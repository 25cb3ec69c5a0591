// A count of the detached worker threads of one kind that have started and
// not yet ended, so that the program can wait for them before it exits. Made
// once and never destroyed: a worker may still be leaving while the process
// takes its statics down.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace wmi {

class LiveWorkers {
  public:
    void started() {
        std::lock_guard lk(mu_);
        ++count_;
    }
    // The worker's very last step: it must touch nothing of the program after it.
    void ended() {
        std::lock_guard lk(mu_);
        --count_;
        changed_.notify_all();
    }
    int count() {
        std::lock_guard lk(mu_);
        return count_;
    }
    // Whether every worker ended within the time.
    bool waitForNone(std::chrono::milliseconds timeout) {
        std::unique_lock lk(mu_);
        return changed_.wait_for(lk, timeout, [this] { return count_ == 0; });
    }

  private:
    std::mutex mu_;
    std::condition_variable changed_;
    int count_ = 0;
};

}  // namespace wmi
