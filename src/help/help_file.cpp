#include "help/help_file.h"

#include <filesystem>
#include <system_error>

namespace help {

std::string ChooseHelpFile(const std::string& programDir) {
    for (std::string_view name : kHelpFileNames) {
        std::string candidate = programDir + std::string(name);
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return {};
}

HelpTopic SplitTopic(std::string_view topic) {
    // The last "::" separates: a folder name may hold one, a path in the file not.
    const size_t at = topic.rfind("::");
    if (at == std::string_view::npos) return {std::string(topic), {}};
    HelpTopic out{std::string(topic.substr(0, at)), std::string(topic.substr(at + 2))};
    if (!out.path.empty() && out.path.front() != '/') out.path.insert(out.path.begin(), '/');
    return out;
}

}  // namespace help
