// The system's own wording of an error code, for the messages shown when a
// link or a mail address cannot be opened.
#pragma once

#include <string>

namespace help {

// The text of the system error code (an errno value) without leading or
// trailing blanks and control characters; for a code the system has no text
// for, "Cannot retrieve error description (error #<code>)".
std::string SystemErrorText(int code);

}  // namespace help
