// QueryThread: runs the window's WQL queries away from the window thread, one
// at a time, so that a slow host or a long query leaves the window painting,
// answering and able to close.
//
// Each run works on a thread of its own with its own copy of the connection
// (a TWMI is not shared between threads) and hands its outcome to the window
// thread through the event queue of the QCoreApplication. A run can be
// stopped at any moment: the window stops waiting at once, the outcome is
// dropped unseen, and the worker is told to give up (where the service or a
// remote call can: TWMI::RunQuery) and then left to end by itself. Nothing of the window is reached
// from a worker, so a stopped worker may outlive the window that started it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "wmi/bw_wmi.h"

namespace wmi {

class QueryThread {
  public:
    // What a finished run hands back.
    struct Outcome {
        bool ok = false;
        ResultTable table;
        int32_t codePage = 0;  // of the table's texts
        // As the run's TWMI left them: LastError, lastErrorOffset, lastErrorDetail.
        std::string error;
        int64_t errorOffset = -1;
        std::string errorDetail;
    };
    // Called on the window thread when a run ends by itself.
    using Done = std::function<void(Outcome& outcome)>;

    QueryThread() = default;
    QueryThread(const QueryThread&) = delete;
    QueryThread& operator=(const QueryThread&) = delete;
    ~QueryThread();  // stops the run under way

    // Window thread, which must be the QCoreApplication's. Stops the run under
    // way, then runs the query with the connection's parameters as they are
    // now; `done` follows unless the run is stopped first.
    void start(const TWMI& connection, std::string query, bool withPaths, Done done);
    // Window thread. The run under way, if any, is dropped: its `done` never
    // comes. Does not wait for the worker.
    void stop();
    bool running() const { return run_ != nullptr; }

    // Workers started and not yet ended, stopped ones included.
    static int LiveCount();
    // Waits until every worker has ended; for program end, so that no worker
    // is still inside the service while the process takes it down.
    static bool WaitForAllEnded(std::chrono::milliseconds timeout);

  private:
    struct Run;
    static void work(const std::shared_ptr<Run>& run, QueryThread* owner);
    void finish(const std::shared_ptr<Run>& run);

    std::shared_ptr<Run> run_;
};

}  // namespace wmi
