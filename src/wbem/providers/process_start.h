// Starting a command line as a process of its own, detached from the caller:
// the work of Win32_Process.Create.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

// The words of a command line: split at blanks, with '...' taken as it
// stands, "..." and backslash escapes as a shell reads them. Nullopt for an
// unterminated quote or a trailing backslash.
std::optional<std::vector<std::string>> splitCommandLine(std::string_view commandLine);

struct StartOutcome {
    pid_t pid = 0;  // the started process, when error is 0
    int error = 0;  // errno of the step that failed: finding, entering the directory, exec
};

// Starts argv (argv[0] looked up in PATH when it holds no '/') in `directory`
// (the caller's when empty) as a new session whose standard streams are
// /dev/null, so that it outlives the caller and is not its child. Returns
// once the program has been executed or has failed to be.
StartOutcome startDetached(const std::vector<std::string>& argv, const std::string& directory);

}  // namespace wbem
