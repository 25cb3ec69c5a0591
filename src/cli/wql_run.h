// The wql tool's work, apart from main() so that tests can run it.
#pragma once

#include <ostream>

#include "wql_options.h"

namespace cli {

// Runs what the options say; returns the exit code: 0, 1 after printing
// "Error: " and the description to `err`, 2 when -sort: names a column the
// result does not have, or 3 when a -call:'s method ran and its ReturnValue is not 0.
int runWql(const WqlOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
