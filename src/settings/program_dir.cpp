#include "settings/program_dir.h"

#include <filesystem>
#include <system_error>

namespace settings {

namespace {

std::string findProgramDir() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return "./";
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

const std::string& ProgramDir() {
    static const std::string dir = findProgramDir();
    return dir;
}

std::string SettingsFileName() { return SettingsFileName(ProgramDir()); }

std::string SettingsFileName(const std::string& programDir) { return programDir + "cimscope.ini"; }

}  // namespace settings
