// Where the program lives: the settings file is kept beside it.
#pragma once

#include <string>

namespace settings {

// The folder of the running program file, ending with "/". Found once, from
// /proc/self/exe; when that cannot be read, the current folder ("./").
const std::string& ProgramDir();

// ProgramDir() followed by "cimscope.ini": always the full name, never looked
// up through a search path.
std::string SettingsFileName();
// The same name in a given folder, which must end with a separator.
std::string SettingsFileName(const std::string& programDir);

}  // namespace settings
