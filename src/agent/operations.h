// The CIM operations the agent serves, answered from a repository (this
// machine's embedded service): classes, instances, queries, associations and
// the Open/Pull enumerations. Write operations are refused as not supported.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "enumeration_contexts.h"
#include "request.h"
#include "wbem/repository/repository.h"

namespace agent {

// When a request must be done; work that runs past it stops with an error.
class Deadline {
  public:
    explicit Deadline(std::chrono::steady_clock::duration budget)
        : at_(std::chrono::steady_clock::now() + budget) {}
    // Throws CimStatusError Failed when the time is up.
    void check() const;

  private:
    std::chrono::steady_clock::time_point at_;
};

// What an operation answers: the content of IRETURNVALUE (or RETURNVALUE of
// a method) and output parameters as name and XML content.
struct Reply {
    std::string returnValue;
    bool hasReturnValue = true;
    std::vector<std::pair<std::string, std::string>> outParams;
};

struct OperationLimits {
    size_t maxReplyBytes = size_t(256) << 20;
    uint32_t maxPullCount = 10000;  // objects in one Open/Pull answer
    std::chrono::seconds defaultContextTimeout{60};
    std::chrono::seconds maxContextTimeout{600};
};

class Operations {
  public:
    Operations(std::shared_ptr<wbem::Repository> repo, std::string serverName,
               EnumerationContexts& contexts, OperationLimits limits = {});

    // Throws CimStatusError for anything the client should hear as a CIM status.
    Reply call(const Call& call, const std::string& user, const Deadline& deadline);

  private:
    struct Impl;
    std::shared_ptr<wbem::Repository> repo_;
    std::string server_;
    EnumerationContexts& contexts_;
    OperationLimits limits_;
};

// The whole response document for a call: its reply, or an ERROR.
std::string responseXml(const Call& call, const Reply& reply);
std::string errorXml(const Call& call, unsigned status, const std::string& description);

// Serves `interop` with CIM_Namespace instances naming every namespace of the
// repository, where WBEM clients look for the list.
void addInteropNamespace(const std::shared_ptr<wbem::Repository>& repo);

}  // namespace agent
