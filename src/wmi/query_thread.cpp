#include "wmi/query_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "wmi/live_workers.h"

namespace wmi {

namespace {

LiveWorkers& live() {
    static auto* workers = new LiveWorkers;
    return *workers;
}

}  // namespace

// One run, shared by the worker and the window thread. `abandoned` and
// `outcome` are guarded by mu; the window thread alone reads `done`.
struct QueryThread::Run {
    TWMI connection;  // the worker's own copy
    std::string query;
    bool withPaths = false;
    std::atomic<bool> stop{false};

    std::mutex mu;
    bool abandoned = false;  // stopped, or its outcome taken
    Outcome outcome;

    Done done;
};

QueryThread::~QueryThread() { stop(); }

void QueryThread::start(const TWMI& connection, std::string query, bool withPaths, Done done) {
    stop();
    auto run = std::make_shared<Run>();
    run->connection = connection;
    run->query = std::move(query);
    run->withPaths = withPaths;
    run->done = std::move(done);
    run_ = run;
    live().started();
    std::thread([run, owner = this]() mutable {
        work(run, owner);
        run.reset();  // the last hold on the run may be the worker's
        live().ended();
    }).detach();
}

void QueryThread::stop() {
    if (!run_) return;
    {
        std::lock_guard lk(run_->mu);
        run_->abandoned = true;
    }
    run_->stop = true;
    run_->done = nullptr;  // whatever it holds goes with the window, not the worker
    run_.reset();
}

void QueryThread::work(const std::shared_ptr<Run>& run, QueryThread* owner) {
    Outcome outcome;
    outcome.ok = run->connection.RunQuery(run->query, outcome.table,
                                          QueryOptions{run->withPaths, &run->stop});
    outcome.codePage = run->connection.CodePage;
    outcome.error = run->connection.LastError;
    outcome.errorOffset = run->connection.lastErrorOffset;
    outcome.errorDetail = run->connection.lastErrorDetail;

    // Posted under the run's lock, which stop() takes too: once the window
    // has stopped the run, nothing is posted for it. The step takes the lock
    // before it reads anything, which also orders the two for the thread
    // sanitizer, which cannot see the event queue's own locks.
    std::lock_guard lk(run->mu);
    if (run->abandoned) return;
    run->outcome = std::move(outcome);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [run, owner] {
            {
                std::lock_guard lk(run->mu);
                // Stopped after the post: the owner may be gone.
                if (run->abandoned) return;
                run->abandoned = true;
            }
            owner->finish(run);
        },
        Qt::QueuedConnection);
}

void QueryThread::finish(const std::shared_ptr<Run>& run) {
    if (run_ == run) run_.reset();
    Done done = std::move(run->done);
    run->done = nullptr;
    if (done) done(run->outcome);
}

int QueryThread::LiveCount() { return live().count(); }

bool QueryThread::WaitForAllEnded(std::chrono::milliseconds timeout) {
    return live().waitForNone(timeout);
}

}  // namespace wmi
