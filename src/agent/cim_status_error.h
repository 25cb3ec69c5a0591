// A CIM status the agent answers an operation with (in an <ERROR> element).
#pragma once

#include <stdexcept>
#include <string>

namespace agent {

namespace cimStatus {
inline constexpr unsigned Failed = 1, AccessDenied = 2, InvalidNamespace = 3, InvalidParameter = 4,
                          InvalidClass = 5, NotFound = 6, NotSupported = 7, NoSuchProperty = 12,
                          QueryLanguageNotSupported = 14, InvalidQuery = 15,
                          MethodNotAvailable = 16, MethodNotFound = 17,
                          InvalidEnumerationContext = 21, InvalidOperationTimeout = 22,
                          FilteredEnumerationNotSupported = 25,
                          ContinuationOnErrorNotSupported = 26, ServerLimitsExceeded = 27;
}

class CimStatusError : public std::runtime_error {
  public:
    CimStatusError(unsigned status, const std::string& description)
        : std::runtime_error(description), status_(status) {}
    unsigned status() const { return status_; }

  private:
    unsigned status_;
};

}  // namespace agent
