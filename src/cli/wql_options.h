// Command line of the wql tool. Options use the words of the program's own
// command line ("-host:", "-namespace:", ...).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct WqlOptions {
    std::string host = ".";
    std::string nspace = "root\\cimv2";
    std::string user;
    std::string password;
    int authLevel = 0;
    int codePage = 0;  // 0: the target's own code page, learned from Win32_OperatingSystem
    std::vector<std::string> mofFiles;
    bool listClasses = false;
    std::string outFile;
    std::string query;
};

// The options, or nullopt with `error` set for bad usage.
std::optional<WqlOptions> parseWqlOptions(const std::vector<std::string>& args, std::string& error);

const char* wqlUsage();

}  // namespace cli
