// Shared helpers of the provider tests: the compiled-in schema, draining a
// cursor, a scratch directory tree, and the check that every value has the
// payload and range its declared CIM type calls for.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "wbem/repository/provider.h"
#include "wbem/repository/repository.h"

namespace wbem::test {

// The embedded schema compiled once, with the local providers installed.
const Repository& schema();
std::shared_ptr<const ClassDef> schemaClass(std::string_view nspace, std::string_view name);
inline std::shared_ptr<const ClassDef> cimv2Class(std::string_view name) {
    return schemaClass("root\\cimv2", name);
}
// The provider the local host registers for a class (null when none).
std::shared_ptr<const InstanceProvider> localProvider(std::string_view nspace,
                                                      std::string_view className);

std::vector<std::shared_ptr<const Instance>> drain(InstanceCursor& cursor);
// All instances of a class from its registered provider.
std::vector<std::shared_ptr<const Instance>> liveInstances(std::string_view nspace,
                                                           std::string_view className,
                                                           const QueryHints& hints = {});

// A property's value, or null when the class has no such property.
const CimValue& valueOf(const Instance& inst, std::string_view name);
std::string stringOf(const Instance& inst, std::string_view name);  // "" when null
uint64_t uintOf(const Instance& inst, std::string_view name);       // 0 when null

// Problems with the instance's values: a payload kind that does not match
// the declared type, an integer out of its type's range, a datetime that is
// not a 25-character CIM datetime, text that is not valid UTF-8. Empty when
// all is well.
std::vector<std::string> typeProblems(const Instance& inst);

// True for yyyymmddHHMMSS.mmmmmmsUUU.
bool isCimDateTime(std::string_view s);

// A second thread of this process that idles until destroyed (so a failed
// assertion cannot leave it running); its kernel thread id is known once built.
class IdleThread {
  public:
    IdleThread();
    ~IdleThread();
    IdleThread(const IdleThread&) = delete;
    IdleThread& operator=(const IdleThread&) = delete;

    pid_t tid() const { return tid_; }

  private:
    std::atomic<pid_t> tid_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A temporary directory removed with everything in it at the end.
class TempTree {
  public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    // Writes a file (creating its folders).
    void write(const std::string& relPath, std::string_view content) const;
    void mkdir(const std::string& relPath) const;
    void remove(const std::string& relPath) const;

  private:
    std::string root_;
};

}  // namespace wbem::test
