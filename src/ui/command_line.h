// The program's command line: ParseParam applies one argument, ApplyCommandLine
// all of them in order. Arguments come split already (the shell's rules: white
// space separates, double quotes group and are dropped).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/remote_options.h"
#include "wmi/bw_wmi.h"

namespace ui {

// What the command line sets besides the connection object and the
// process-wide authentication level.
struct CommandLineParams {
    int32_t CallerWindow = 0;      // "-wp:"; 0 = no calling program
    std::string CommandLineQuery;  // "-query:", trimmed; empty = none
    // How a remote host is reached, where the command line says: "-auth:",
    // "-cacert:" and "-unencrypted" hold for this run over what the settings
    // file remembers for the host, and are never saved.
    std::optional<wbem::AuthMethod> Auth;
    std::optional<std::string> CaFile;
    bool AllowUnencrypted = false;
    // What was wrong with the first bad option the program reports; empty = nothing.
    std::string UsageError;
};

// The protocol choices remembered for a host, if any.
using RememberedOptions = std::function<std::optional<wbem::RemoteOptions>(std::string_view host)>;

// Applies one argument. The option must start the argument exactly (case
// matters); its value is the rest, trimmed of blanks and control characters.
// Arguments that start with no option, and bad numbers, are ignored; an
// unknown authentication method is kept as UsageError (the first one only).
// "-unencrypted" is a switch: the whole argument.
void ParseParam(std::string_view argument, wmi::TWMI& wmi, CommandLineParams& params);

// Empties CommandLineQuery, the remote options and UsageError, then applies
// the arguments from first to last, so that an option given twice takes its
// later value. Then the connection's remote options become those remembered
// for its host (or stay as they were when none are), with the command line's
// on top.
void ApplyCommandLine(const std::vector<std::string>& arguments, wmi::TWMI& wmi,
                      CommandLineParams& params, const RememberedOptions& remembered = {});

// The options with those the command line gave in their place.
wbem::RemoteOptions WithCommandLineOptions(wbem::RemoteOptions options,
                                           const CommandLineParams& params);

}  // namespace ui
