// Which help file the program shows, and how a help topic names a page in it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace help {

// In order of preference: the monitoring product's help file, when the
// program is installed beside it, then the program's own.
inline constexpr std::array<std::string_view, 2> kHelpFileNames = {"watchpost.chm", "cimscope.chm"};
// The page the Help command opens, appended to the help file's path.
inline constexpr std::string_view kHelpTopicPath = "::/HTML/wmi/index.htm";

// The full name of the first help file found in the folder (which ends with
// a separator), or empty when there is none.
std::string ChooseHelpFile(const std::string& programDir);

// A topic is "<help file>::<path inside the file>".
struct HelpTopic {
    std::string file;
    std::string path;  // begins with "/"; empty when the topic names no page
};
HelpTopic SplitTopic(std::string_view topic);

}  // namespace help
