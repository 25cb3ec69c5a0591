// Live instance providers: a class's instances produced on demand, one at a
// time, so that enumerations stream.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cim_value.h"
#include "instance.h"

namespace wbem {

// What a query lets a provider skip. Providers may ignore hints: the query
// engine applies the full WHERE clause to whatever they return.
struct QueryHints {
    // Property = constant conditions that every wanted instance satisfies
    // (taken from a WHERE clause's top-level AND terms).
    std::vector<std::pair<std::string, CimValue>> equals;
    // Properties the caller reads; empty means all of them.
    std::vector<std::string> selected;

    bool wants(std::string_view property) const;
    // The constant that `property` must equal, or null.
    const CimValue* equalTo(std::string_view property) const;
};

class InstanceCursor {
  public:
    virtual ~InstanceCursor() = default;
    // The next instance, or null at the end. May throw WbemError.
    virtual std::shared_ptr<const Instance> next() = 0;
    // The next instances, lent instead of given: good until the cursor moves
    // on or goes. A walk that keeps few of the instances it tests then pays
    // neither a call nor a reference count for each of the others. Empty at
    // the end.
    virtual std::span<const std::shared_ptr<const Instance>> nextRun() {
        lent_ = next();
        if (!lent_) return {};
        return {&lent_, 1};
    }

  private:
    std::shared_ptr<const Instance> lent_;
};

class InstanceProvider {
  public:
    virtual ~InstanceProvider() = default;
    // Instances of exactly `cls` (not of its subclasses: each class that has
    // live instances gets its own registration).
    virtual std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& cls,
                                                 const QueryHints& hints) const = 0;
};

// What a method call gives back: its return value and out-parameters by name.
struct MethodResult {
    CimValue returnValue;
    std::vector<std::pair<std::string, CimValue>> out;
};

// Methods of a class carried out on this machine.
class MethodProvider {
  public:
    virtual ~MethodProvider() = default;
    virtual bool implements(std::string_view method) const = 0;
    // Whether `method` only reads. Callers from other machines (the agent) are
    // let run nothing else, so a provider says so only for methods that
    // change nothing on this machine.
    virtual bool readsOnly(std::string_view method) const {
        (void)method;
        return false;
    }
    // Calls `method` on `target` (null for a call on the class) with the
    // in-parameters given. May throw WbemError.
    virtual MethodResult invoke(const Instance* target, std::string_view method,
                                const std::vector<std::pair<std::string, CimValue>>& in) const = 0;
};

// A cursor over a ready vector; handy for providers with few instances.
class VectorCursor : public InstanceCursor {
  public:
    explicit VectorCursor(std::vector<std::shared_ptr<const Instance>> items)
        : items_(std::move(items)) {}
    std::shared_ptr<const Instance> next() override {
        return pos_ < items_.size() ? items_[pos_++] : nullptr;
    }

  private:
    std::vector<std::shared_ptr<const Instance>> items_;
    size_t pos_ = 0;
};

}  // namespace wbem
