#include "wmi/instances_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

#include "wbem/text.h"
#include "wmi/bw_variant.h"
#include "wmi/live_workers.h"

namespace wmi {

namespace {

using namespace std::chrono_literals;

// The properties that name an instance, best first.
constexpr const char* kNamingCandidates[] = {"Name",     "Caption",  "Handle",     "ID",
                                             "UniqueID", "DeviceID", "Description"};

// Lines the window has not taken yet before the worker waits for it, so that
// a fast enumeration cannot run away from a busy window.
constexpr size_t kMaxPendingLines = 20000;

// The window takes the queued lines at most this often, so that a fast
// enumeration costs it a few list updates, not one wake-up per instance.
constexpr std::chrono::milliseconds kDrainInterval{10};

LiveWorkers& live() {
    static auto* threads = new LiveWorkers;
    return *threads;
}

// Steps travel to the window thread through Qt's event queue, whose locks
// ThreadSanitizer cannot see. The worker posts while holding this mutex and a
// step takes it before it reads anything it carries, which orders the two
// for the sanitizer as the queue does for real.
std::mutex& postMutex() {
    static auto* mu = new std::mutex;  // outlives any worker still leaving at exit
    return *mu;
}

template <class Step>
void postToWindow(QObject* window, Step step) {
    std::lock_guard lk(postMutex());
    QMetaObject::invokeMethod(
        window,
        [step = std::move(step)]() mutable {
            { std::lock_guard lk(postMutex()); }
            step();
        },
        Qt::QueuedConnection);
}

std::string formatted(const char* format, int32_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, n);
    return buf;
}

}  // namespace

// What the worker and the window thread share about list updates. Steps posted
// to the window hold it, so it outlives the thread object; a step looks at it
// before touching the object and does nothing once the thread was terminated.
struct TWMIInstancesThread::Channel {
    std::mutex mu;
    std::condition_variable cv;
    bool terminated = false;
    std::vector<PendingLine> lines;  // ShowText steps not yet run
    bool drainPosted = false;
    std::chrono::steady_clock::time_point lastDrain;  // window thread only
    enum class Call { None, Pending, Running, Done } call = Call::None;
    uint64_t callId = 0;
    int windowBusy = 0;  // window-thread steps using the object right now
};

TWMIInstancesThread::TWMIInstancesThread()
    : window_(QCoreApplication::instance()), ch_(std::make_shared<Channel>()) {
    live().started();
    std::thread([this] { Execute(); }).detach();
}

TWMIInstancesThread::~TWMIInstancesThread() = default;

int TWMIInstancesThread::LiveCount() { return live().count(); }

bool TWMIInstancesThread::WaitForAllEnded(std::chrono::milliseconds timeout) {
    return live().waitForNone(timeout);
}

// --- Window thread -----------------------------------------------------------

void TWMIInstancesThread::SetTarget(std::string_view host, std::string_view nspace,
                                    std::string_view user, std::string_view password,
                                    std::string_view className, TargetList* target,
                                    const wbem::RemoteOptions& options) {
    {
        std::lock_guard lk(lock_);
        host_ = host;
        options_ = options;
        namespace_ = nspace;
        user_ = user;
        password_ = password;
        className_ = className;
        if (target)
            target->clear();
        else
            host_.clear();
        Target = target;  // never keep a list the window no longer hands us
        ++requestSerial_;
        Idle = host_.empty() || className_.empty();
    }
    wake_.notify_all();
}

void TWMIInstancesThread::Restart() {
    {
        std::lock_guard lk(lock_);
        if (Target)
            Target->clear();
        else
            host_.clear();
        ++requestSerial_;
        Idle = host_.empty() || className_.empty();
    }
    wake_.notify_all();
}

void TWMIInstancesThread::Terminate() {
    // Counted as a window step, so that the worker, which may see the flag at
    // once, does not free the object under our feet.
    std::shared_ptr<Channel> ch = ch_;
    {
        std::lock_guard lk(ch->mu);
        ++ch->windowBusy;
        ch->terminated = true;
    }
    terminated_ = true;
    {
        std::lock_guard lk(lock_);
        wake_.notify_all();
    }
    {
        std::lock_guard lk(ch->mu);
        --ch->windowBusy;
        ch->cv.notify_all();
    }
}

void TWMIInstancesThread::ShowText(const PendingLine& line) {
    // A line of an abandoned run (the window asked for something else since)
    // must not land in the new list.
    if (terminated_ || Idle || !Target || line.request != requestSerial_) return;
    const int n = Target->count();
    if (n > 0 && Target->line(n - 1) == kPlaceholder)
        Target->setLine(n - 1, line.text, line.path);
    else
        Target->append(line.text, line.path);
}

void TWMIInstancesThread::FinishRun(uint64_t request) {
    // An abandoned run reports nothing, and a terminated thread no longer
    // calls into a window that is going away.
    if (terminated_ || request != requestSerial_) return;
    if (!Idle && Target) {
        const int n = Target->count();
        if (n > 0 && Target->line(n - 1) == kPlaceholder) Target->deleteLast();
    }
    if (OnDone) OnDone(this, Count, ErrorText);
}

// Runs the queued ShowText steps. Called on the window thread with ch.mu
// not held and windowBusy counted.
void TWMIInstancesThread::DrainLines(Channel& ch) {
    std::vector<PendingLine> lines;
    {
        std::lock_guard lk(ch.mu);
        lines.swap(ch.lines);
        ch.drainPosted = false;
    }
    ch.cv.notify_all();  // room for the worker again
    for (const PendingLine& line : lines) ShowText(line);
}

void TWMIInstancesThread::DrainStep(const std::shared_ptr<Channel>& ch, TWMIInstancesThread* self,
                                    bool mayWait) {
    {
        std::lock_guard lk(ch->mu);
        if (ch->terminated) {
            ch->lines.clear();
            return;
        }
        ++ch->windowBusy;
    }
    const auto now = std::chrono::steady_clock::now();
    if (mayWait && now - ch->lastDrain < kDrainInterval) {
        // Too soon after the last one: come back for everything queued by then.
        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(
                               ch->lastDrain + kDrainInterval - now),
                           self->window_, [ch, self] { DrainStep(ch, self, false); });
    } else {
        self->DrainLines(*ch);
        ch->lastDrain = std::chrono::steady_clock::now();
    }
    {
        std::lock_guard lk(ch->mu);
        --ch->windowBusy;
    }
    ch->cv.notify_all();
}

// --- Worker ------------------------------------------------------------------

uint64_t TWMIInstancesThread::LatestRequest() {
    std::lock_guard lk(lock_);
    return requestSerial_;
}

void TWMIInstancesThread::ShowLineFor(uint64_t request, std::string text) {
    DisplayText = std::move(text);
    DisplayPath.reset();
    ShowTextFor(request);
}

void TWMIInstancesThread::ShowTextFor(uint64_t request) {
    std::shared_ptr<Channel> ch = ch_;
    std::unique_lock lk(ch->mu);
    if (ch->terminated) return;
    // A queued placeholder that the next line of the same run would replace
    // changes nothing: drop it, and the window has half the steps to run.
    if (!ch->lines.empty() && ch->lines.back().request == request &&
        ch->lines.back().text == kPlaceholder) {
        ch->lines.back().text = DisplayText;
        ch->lines.back().path = DisplayPath;
    } else {
        ch->lines.push_back({request, DisplayText, DisplayPath});
    }
    if (!ch->drainPosted) {
        ch->drainPosted = true;
        // Posted under ch->mu: Terminate takes it too, so nothing is posted
        // after it returned (the window may be gone by then).
        postToWindow(window_, [ch, self = this] { DrainStep(ch, self, true); });
    }
    ch->cv.wait(lk, [&] { return ch->terminated || ch->lines.size() < kMaxPendingLines; });
}

bool TWMIInstancesThread::FinishRunFor(uint64_t request) {
    std::shared_ptr<Channel> ch = ch_;
    std::unique_lock lk(ch->mu);
    if (ch->terminated) return false;
    const uint64_t id = ++ch->callId;
    ch->call = Channel::Call::Pending;
    postToWindow(window_, [ch, self = this, id, request] {
        {
            std::lock_guard lk(ch->mu);
            if (ch->terminated || ch->callId != id || ch->call != Channel::Call::Pending)
                return;  // the worker gave up on this call
            ch->call = Channel::Call::Running;
            ++ch->windowBusy;
        }
        // The lines before it come first, whatever order the events took.
        self->DrainLines(*ch);
        self->FinishRun(request);
        {
            std::lock_guard lk(ch->mu);
            ch->call = Channel::Call::Done;
            --ch->windowBusy;
        }
        ch->cv.notify_all();
    });
    // Wait for the window, but give up when told to end: the window may be
    // waiting for nothing but its own destruction. A step already running
    // finishes first (it runs on the window thread, which never waits for us).
    ch->cv.wait(lk, [&] {
        return ch->call == Channel::Call::Done ||
               (ch->terminated && ch->call == Channel::Call::Pending);
    });
    const bool ran = ch->call == Channel::Call::Done;
    ch->call = Channel::Call::None;
    return ran;
}

void TWMIInstancesThread::WaitForRequest() {
    std::unique_lock lk(lock_);
    wake_.wait_for(lk, 500ms, [&] { return terminated_ || !Idle; });
}

void TWMIInstancesThread::Execute() {
    while (!terminated_) {
        if (Idle) {
            WaitForRequest();
            continue;
        }
        RunOnce();
    }
    enum_.reset();
    set_.reset();
    services_.reset();
    locator_.reset();
    {
        // A window step may still be using the object (one that called
        // Terminate itself); it ends without waiting for us.
        std::shared_ptr<Channel> ch = ch_;
        std::unique_lock lk(ch->mu);
        ch->cv.wait(lk, [&] { return ch->windowBusy == 0; });
    }
    delete this;
    live().ended();
}

void TWMIInstancesThread::RunOnce() {
    try {
        ShowLineFor(LatestRequest(), kPlaceholder);
        PrepareRun();
        if (Idle || terminated_) return;
        std::string walkError;
        std::shared_ptr<wbem::ISWbemObject> instance;
        while (!terminated_ && !Idle && enum_ && NextObject(*enum_, instance, walkError)) {
            ++Count;
            // A new request drops this instance and starts over at once.
            if (PrepareRun()) return;
            NameInstance(*instance);
            ShowTextFor(runSerial_);
            ShowLineFor(runSerial_, kPlaceholder);
            const int32_t limit = Limit;
            if (limit != 0 && Count > limit) break;
        }
        if (terminated_) return;
        ReleaseEnumeration();
        // An enumeration that broke down must not pass for a complete one.
        ThrowIfBroken(walkError);
        FinishRunFor(runSerial_);
        EndRun();
    } catch (const std::exception& e) {
        ReleaseEnumeration();
        ShowLineFor(runSerial_, std::string("WMI Error: ") + e.what());
        ErrorText = DisplayText;
        FinishRunFor(runSerial_);
        EndRun();
    }
}

bool TWMIInstancesThread::PrepareRun() {
    if (terminated_ || Idle) return false;
    bool changed = false;
    {
        std::lock_guard lk(lock_);
        if (host_ != runHost_ || namespace_ != runNamespace_ || user_ != runUser_ ||
            password_ != runPassword_ || !SameRemoteOptions(options_, runOptions_)) {
            runHost_ = host_;
            runOptions_ = options_;
            runNamespace_ = namespace_;
            runUser_ = user_;
            runPassword_ = password_;
            services_.reset();
            locator_.reset();
            changed = true;
        }
        // Every request starts a new run: the window cleared its list for it.
        if (className_ != runClass_ || !services_ || requestSerial_ != runSerial_) {
            enum_.reset();
            set_.reset();
            NamingProperty.clear();
            runClass_ = className_;
            runSerial_ = requestSerial_;
            changed = true;
        }
    }
    if (enum_) return changed;

    Count = 0;
    ErrorText.clear();
    if (!services_)
        services_ = OpenServices(runHost_, runNamespace_, runUser_, runPassword_, 0, &locator_,
                                 &runOptions_);
    if (terminated_ || Idle) return changed;
    if (NamingProperty.empty()) LookUpNamingProperty();
    set_ = services_->InstancesOf(runClass_,
                                  wbem::flags::ReturnImmediately | wbem::flags::ForwardOnly);
    enum_ = set_->NewEnum();
    return changed;
}

void TWMIInstancesThread::LookUpNamingProperty() {
    // Without a naming property the instances are named by their MOF text,
    // so a failure here is no failure of the run.
    try {
        auto props = services_->Get(runClass_, 0)->Properties_()->NewEnum();
        std::string walkError;
        std::shared_ptr<wbem::ISWbemProperty> prop;
        TextList names;
        while (NextObject(*props, prop, walkError)) names.push_back(prop->Name());
        if (!walkError.empty()) return;
        for (const char* candidate : kNamingCandidates)
            for (const std::string& name : names)
                if (wbem::iequals(name, candidate)) {
                    NamingProperty = candidate;
                    return;
                }
    } catch (const std::exception&) {
    }
}

void TWMIInstancesThread::NameInstance(wbem::ISWbemObject& instance) {
    if (!NamingProperty.empty()) {
        DisplayText =
            RenderValue(instance.Properties_()->Item(NamingProperty, 0)->Value(), LocalCodePage());
    } else {
        // The whole list is in the local code page, MOF texts included.
        DisplayText = formatted("[%3.3d]", Count - 1) +
                      WideToCodePage(Trimmed(instance.GetObjectText_(0)), LocalCodePage());
    }
    if (Trimmed(DisplayText).empty()) DisplayText = formatted("<<Instance_%2.2d>>", Count - 1);
    // An instance whose path cannot be told is still listed; its line has
    // no object to read again.
    try {
        DisplayPath = instance.Path_()->Path();
    } catch (const std::exception&) {
        DisplayPath = std::string();
    }
}

void TWMIInstancesThread::ReleaseEnumeration() {
    // Finished, stopped at the limit or broken: a remote server holds an open
    // enumeration (and counts it against a quota) until it is released.
    enum_.reset();
    set_.reset();
}

void TWMIInstancesThread::EndRun() {
    // A request that came while the run was ending must survive it.
    std::lock_guard lk(lock_);
    if (requestSerial_ == runSerial_) Idle = true;
}

}  // namespace wmi
