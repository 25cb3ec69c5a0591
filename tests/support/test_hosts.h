// Hosts of the embedded service made for the WMI layer's tests, and a
// recording wrapper around the locator.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/api.h"
#include "wbem/remote_options.h"
#include "wbem/repository/instance.h"
#include "wbem/service/hosts.h"

namespace wmitest {

// A test host registered for the life of the object.
class ScopedHost {
  public:
    ScopedHost(std::string name, std::string_view mof, std::string user = {},
               std::string password = {});
    ~ScopedHost();
    ScopedHost(const ScopedHost&) = delete;
    ScopedHost& operator=(const ScopedHost&) = delete;

    const std::string& name() const { return name_; }

    // Gives className (declared in the MOF) `count` instances made on demand,
    // one at a time as a walk asks: fill(i, instance) sets instance i's values.
    // fill runs on the walking thread and may block to pace a test.
    using Fill = std::function<void(int index, wbem::Instance& instance)>;
    void generate(const std::string& className, int count, Fill fill);

  private:
    std::string name_;
    std::shared_ptr<wbem::Repository> repo_;
};

// What the recording locator saw.
struct Recorder {
    struct Connect {
        std::string host, nspace, user, password;
        int32_t securityFlags = 0;
        int32_t levelAtConnect = 0;  // the locator's level when ConnectServer ran
        // A copy of the context when it was remote options; none without context.
        std::optional<wbem::RemoteOptions> options;
        bool otherContext = false;  // a context of some other kind
    };
    std::mutex mu;
    std::vector<int32_t> levelsSet;  // every SetAuthenticationLevel
    std::vector<Connect> connects;
    // When >= 0, object sets of SubclassesOf, ExecQuery and Instances_ fail
    // with this code after delivering breakAfter elements.
    int breakAfter = -1;
    wbem::HResult breakCode = wbem::hr::ProviderFailure;
    int nextCalls = 0;  // Next calls on wrapped enumerators

    size_t connectCount() {
        std::lock_guard lk(mu);
        return connects.size();
    }
};

// Installs a locator factory wrapping the embedded service's locator so that
// the recorder sees every connection; restores the default on destruction.
class RecordingLocators {
  public:
    RecordingLocators();
    ~RecordingLocators();
    Recorder& recorder() { return *rec_; }

  private:
    std::shared_ptr<Recorder> rec_;
};

}  // namespace wmitest
