// A WQL failure: the plain WMI error (what() is "Invalid query" or "Invalid
// class", as WMI shows it) plus where in the text it happened and why, for
// our own diagnostics.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "../errors.h"

namespace wbem::wql {

class QueryError : public WbemError {
  public:
    QueryError(HResult code, size_t offset, std::string detail)
        : WbemError(code), offset_(offset), detail_(std::move(detail)) {}

    // Byte offset into the query text.
    size_t offset() const { return offset_; }
    // What went wrong, e.g. "expected FROM".
    const std::string& detail() const { return detail_; }

  private:
    size_t offset_;
    std::string detail_;
};

[[noreturn]] void invalidQuery(size_t offset, std::string detail);
[[noreturn]] void invalidClass(size_t offset, std::string detail);

// The error with its position, formatted once for a log or a console:
//   Invalid query: expected FROM (line 1, column 10)
//   select * frm Win32_Process
//            ^
std::string formatQueryError(const QueryError& error, std::string_view query);

}  // namespace wbem::wql
