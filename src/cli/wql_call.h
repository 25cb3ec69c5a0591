// wql -call: a method run through the access layer, its out-parameters and
// ReturnValue printed.
#pragma once

#include <ostream>

#include "wmi/bw_wmi.h"
#include "wql_options.h"

namespace cli {

// Runs the call with conn's connection settings and code page. Returns the
// exit code: 0 when the method reports success, 3 when it ran and its
// ReturnValue is not 0 (what it gave back is printed all the same), 1 after
// "Error: " and the reason on `err` when it could not run.
int runMethodCall(const MethodCall& call, const wmi::TWMI& conn, std::ostream& out,
                  std::ostream& err);

}  // namespace cli
