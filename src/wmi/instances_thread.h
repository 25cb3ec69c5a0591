// TWMIInstancesThread: lists the instances of the selected class into the
// window's instance list, one line per instance, while the window stays
// responsive. One worker thread that sleeps while idle, keeps its WMI
// connection between runs and frees itself after Terminate.
//
// Each instance's line carries the instance's path, so that the window reads
// the object of a line by its path, not by a position the instances may have
// shifted since.
//
// The list is only ever touched on the window thread. Each instance's line is
// queued for it and taken in order, at most every 10 ms, so that a fast
// enumeration does not cost one thread switch per instance; the end of a run
// (FinishRun and OnDone) runs there while the worker waits. Every request
// (SetTarget, Restart) starts a new run, and lines or ends of a run the window
// has since moved on from are dropped there.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "wbem/api.h"
#include "wmi/bw_wmi.h"
#include "wmi/target_list.h"

class QObject;

namespace wmi {

class TWMIInstancesThread {
  public:
    // Handler of a finished run, called on the window thread with the number
    // of instances fetched and the error line ("" after a good run).
    using DoneHandler =
        std::function<void(TWMIInstancesThread* thread, int32_t count, const std::string& error)>;

    static constexpr const char* kPlaceholder = "Requesting WMI...";

    // Starts the worker, idle. Create it on the window thread, the thread of
    // the QCoreApplication whose event loop will run the list updates.
    TWMIInstancesThread();
    TWMIInstancesThread(const TWMIInstancesThread&) = delete;
    TWMIInstancesThread& operator=(const TWMIInstancesThread&) = delete;

    // Window thread. Clears the target list at once and has the worker abandon
    // any run and list the class's instances into it. A null target, an empty
    // host or an empty class makes the thread idle. The remote options are
    // copied with the rest; other options than the last run's reconnect.
    void SetTarget(std::string_view host, std::string_view nspace, std::string_view user,
                   std::string_view password, std::string_view className, TargetList* target,
                   const wbem::RemoteOptions& options = {});
    // Window thread. Clears the target and lists the same class again from
    // its first instance.
    void Restart();
    // Window thread, once, typically from the owner's destructor. Does not
    // wait: the worker ends after its current step and frees itself; no list
    // update and no OnDone happens after this call returns.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }

    // Set by the window after creation; run on the window thread.
    DoneHandler OnDone;
    // A run ends once more than Limit instances were listed; 0 = no limit.
    std::atomic<int32_t> Limit{0};

    // Threads created and not yet freed.
    static int LiveCount();
    // Waits until every thread has freed itself (all must have been told to
    // terminate); for program end, so that no worker outlives main().
    static bool WaitForAllEnded(std::chrono::milliseconds timeout);

  private:
    struct Channel;
    struct PendingLine {
        uint64_t request;
        std::string text;
        LinePath path;
    };

    ~TWMIInstancesThread();  // on the worker, at its end

    void Execute();
    void RunOnce();
    bool PrepareRun();
    void LookUpNamingProperty();
    void NameInstance(wbem::ISWbemObject& instance);
    void ReleaseEnumeration();
    void EndRun();
    void WaitForRequest();

    // Worker side of the window-thread steps.
    void ShowTextFor(uint64_t request);  // queues DisplayText for the list
    // Queues a line of no instance (the placeholder, an error) as DisplayText.
    void ShowLineFor(uint64_t request, std::string text);
    bool FinishRunFor(uint64_t request);  // runs FinishRun while the worker waits
    uint64_t LatestRequest();

    // Window side.
    void ShowText(const PendingLine& line);
    void FinishRun(uint64_t request);
    void DrainLines(Channel& ch);
    static void DrainStep(const std::shared_ptr<Channel>& ch, TWMIInstancesThread* self,
                          bool mayWait);

    QObject* window_;
    std::shared_ptr<Channel> ch_;

    // Requests, written on the window thread under lock_.
    std::mutex lock_;
    std::condition_variable wake_;
    std::string host_, namespace_, user_, password_, className_;
    wbem::RemoteOptions options_;
    TargetList* Target = nullptr;
    uint64_t requestSerial_ = 0;  // every SetTarget and Restart is a new request
    std::atomic<bool> Idle{true};
    std::atomic<bool> terminated_{false};

    // The worker's own state.
    std::string runHost_, runNamespace_, runUser_, runPassword_, runClass_;
    wbem::RemoteOptions runOptions_;
    uint64_t runSerial_ = 0;  // request the current run answers
    std::shared_ptr<wbem::ISWbemLocator> locator_;
    std::shared_ptr<wbem::ISWbemServices> services_;
    std::shared_ptr<wbem::ISWbemObjectSet> set_;
    std::unique_ptr<wbem::IEnumVariant> enum_;
    std::string NamingProperty;
    std::string DisplayText;
    LinePath DisplayPath;   // of the instance DisplayText names; none for other lines
    std::string ErrorText;  // read by FinishRun while the worker waits
    int32_t Count = 0;      // likewise
};

}  // namespace wmi
