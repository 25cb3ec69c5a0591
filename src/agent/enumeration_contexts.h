// Open enumerations between an Open... request and the Pull that ends them.
// Each holds a cursor, not the results, so a 30,000-instance enumeration
// costs one batch of memory at a time; contexts expire when their client
// stops pulling, and their number is capped.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "wbem/remote/xml/cim_xml_writer.h"
#include "wbem/repository/class_def.h"
#include "wbem/repository/instance.h"

namespace agent {

// One object an enumeration delivers.
struct EnumeratedObject {
    std::shared_ptr<const wbem::Instance> inst;
    std::vector<int> projection;  // slots of a partial instance
    bool partial = false;
};

class ObjectSource {
  public:
    virtual ~ObjectSource() = default;
    // False at the end.
    virtual bool next(EnumeratedObject& out) = 0;
};

// What each Pull answers with.
enum class PullForm { InstancesWithPath, InstancePaths, Instances };

struct EnumerationContext {
    std::unique_ptr<ObjectSource> source;
    PullForm form = PullForm::InstancesWithPath;
    std::string nspace;  // "root/cimv2"
    std::string user;    // only its opener may pull it
    wbem::cimxml::WriteOptions options;
    std::chrono::seconds timeout{60};
    std::chrono::steady_clock::time_point expiry;
    // An object read ahead to learn whether the enumeration has ended; the
    // next Pull delivers it first.
    std::optional<EnumeratedObject> ahead;

    bool next(EnumeratedObject& out) {
        if (!ahead) return source->next(out);
        out = std::move(*ahead);
        ahead.reset();
        return true;
    }
};

class EnumerationContexts {
  public:
    using Clock = std::chrono::steady_clock;

    EnumerationContexts(size_t maxTotal, size_t maxPerUser)
        : maxTotal_(maxTotal), maxPerUser_(maxPerUser) {}

    // Keeps the context and returns its name (random, not guessable). Throws
    // CimStatusError CIM_ERR_SERVER_LIMITS_EXCEEDED when too many are open.
    std::string add(std::unique_ptr<EnumerationContext> context);
    // Takes the context out while a Pull works on it (so two Pulls never share
    // one). Throws CIM_ERR_INVALID_ENUMERATION_CONTEXT for a name that is
    // unknown, expired, of another user or another namespace.
    std::unique_ptr<EnumerationContext> take(const std::string& name, const std::string& user,
                                             const std::string& nspace);
    // Every take is followed by one putBack: the context when the enumeration
    // goes on (its expiry starts anew), null when the Pull or a Close ended it.
    void putBack(const std::string& name, std::unique_ptr<EnumerationContext> context);

    size_t size() const;

  private:
    void dropExpired(Clock::time_point now);  // with mutex_ held

    size_t maxTotal_, maxPerUser_;
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<EnumerationContext>> open_;
    size_t taken_ = 0;  // contexts out for a Pull, counted against the cap
};

}  // namespace agent
