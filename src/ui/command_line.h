// The program's command line: ParseParam applies one argument, ApplyCommandLine
// all of them in order. Arguments come split already (the shell's rules: white
// space separates, double quotes group and are dropped).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/bw_wmi.h"

namespace ui {

// What the command line sets besides the connection object and the
// process-wide authentication level.
struct CommandLineParams {
    int32_t CallerWindow = 0;      // "-wp:"; 0 = no calling program
    std::string CommandLineQuery;  // "-query:", trimmed; empty = none
};

// Applies one argument. The option must start the argument exactly (case
// matters); its value is the rest, trimmed of blanks and control characters.
// Arguments that start with no option, and bad numbers, are ignored.
void ParseParam(std::string_view argument, wmi::TWMI& wmi, CommandLineParams& params);

// Empties CommandLineQuery, then applies the arguments from first to last, so
// that an option given twice takes its later value.
void ApplyCommandLine(const std::vector<std::string>& arguments, wmi::TWMI& wmi,
                      CommandLineParams& params);

}  // namespace ui
