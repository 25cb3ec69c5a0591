// The code page a target renders its text in, as its operating system tells
// it (Win32_OperatingSystem.CodeSet): the Connect command and wql ask alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wmi {
class TWMI;
}

namespace results {

// The code page of a host's "CodeSet" answer: the trimmed text as an integer,
// or the local code page when it is none.
int32_t codePageFromCodeSet(std::string_view answer);

// The code page of the connection's target; empty when the target cannot be
// asked (the caller keeps what it had or takes the local code page). `unreachable` (when
// given) receives the error text when the target could not be reached or
// refused the login: asking it anything else would fail the same way.
std::optional<int32_t> targetCodePage(const wmi::TWMI& connection,
                                      std::string* unreachable = nullptr);

}  // namespace results
