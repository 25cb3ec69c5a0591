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

struct ProgramRun {
    bool started = false;
    bool timedOut = false;  // killed at the time limit
    int exitCode = -1;      // when it exited by itself
    std::string output;     // standard output, then (with errorsToo) standard error interleaved
};

// The same, with how the program ended and (with errorsToo) what it wrote
// to standard error in its output.
ProgramRun runProgramOutcome(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                             bool errorsToo, size_t maxOutput = size_t{1} << 20);

}  // namespace wbem
