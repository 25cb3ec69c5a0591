// When the main window offers its query to the calling program at close, and
// when it first warns that the caller needs named fields instead of "*".
#pragma once

#include <cstdint>
#include <string_view>

namespace handback {

// A caller is named (not 0), the query (trimmed) is not empty, and it differs
// from the query the command line gave, letter case included.
bool ShouldOfferQuery(int32_t caller, std::string_view query, std::string_view commandLineQuery);

// The result list shows columns and the text before the first "*", trimmed
// and in lower case, is "select": the caller cannot use "select * ...".
bool ShouldWarnAboutStar(std::string_view query, bool resultHasColumns);

}  // namespace handback
