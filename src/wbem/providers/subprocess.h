// Runs a helper program (systemctl) with a time limit and returns what it
// wrote to standard output.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace wbem {

// The program's output when it ran and exited with status 0 within `limit`;
// a program still running then is killed. The program is looked up in PATH.
std::optional<std::string> runProgram(const std::vector<std::string>& argv,
                                      std::chrono::milliseconds limit,
                                      size_t maxOutput = size_t{16} << 20);

}  // namespace wbem
