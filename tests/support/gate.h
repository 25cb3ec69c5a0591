// A gate for a generated class (ScopedHost::generate): its instances come out
// only as far as the test allows, so that a walk over them blocks where the
// test wants it to, on whatever thread walks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace wmitest {

struct Gate {
    std::mutex mu;
    std::condition_variable cv;
    int allowed = 0;
    std::atomic<int> arrived{0};  // calls of pass, waiting or through
    std::atomic<int> produced{0};

    // Closed again, its counts back at zero, for the next walk.
    void reset() {
        allow(0);
        arrived = 0;
        produced = 0;
    }
    // Lets the instances before index n out.
    void allow(int n) {
        {
            std::lock_guard lk(mu);
            allowed = n;
        }
        cv.notify_all();
    }
    // Called by the class's fill for instance `index`: waits until it may go.
    void pass(int index) {
        std::unique_lock lk(mu);
        ++arrived;
        cv.wait(lk, [&] { return index < allowed; });
        ++produced;
    }
};

}  // namespace wmitest
