// Command line of the wql tool. Options use the words of the program's own
// command line ("-host:", "-namespace:", ...).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wbem/remote_options.h"

namespace cli {

enum class OutputFormat { Table, Csv, Tsv, Html };

// "-sort:COLUMN[:asc|:desc]": a column name (letter case ignored when no
// column matches exactly) or a 1-based column number.
struct SortKey {
    std::string column;
    int number = 0;  // the column's number when given as one, else 0
    bool ascending = true;
};

// "-call:CLASS.Method" or "-call:PATH.Method" with its "-arg:NAME=VALUE"s.
struct MethodCall {
    std::string path;  // a class name for a static method, else an instance's path
    std::string method;
    std::vector<std::pair<std::string, std::string>> arguments;  // as typed, in order
};

struct WqlOptions {
    std::string host = ".";
    std::string nspace = "root\\cimv2";
    std::string user;
    std::string password;
    int authLevel = 0;
    wbem::RemoteOptions remote;  // -auth:, -cacert:, -unencrypted
    int codePage = 0;  // 0: the target's own code page, learned from Win32_OperatingSystem
    std::vector<std::string> mofFiles;
    bool listClasses = false;
    std::string outFile;
    // Standard output is a terminal (set by the program, not an option):
    // CSV, TSV and HTML then go out with their control characters made harmless.
    bool toTerminal = false;
    OutputFormat format = OutputFormat::Table;
    std::optional<SortKey> sort;  // none: rows stay in the order of the result
    std::string query;
    std::optional<MethodCall> call;  // instead of a query
};

// The options, or nullopt with `error` set for bad usage.
std::optional<WqlOptions> parseWqlOptions(const std::vector<std::string>& args, std::string& error);

const char* wqlUsage();

}  // namespace cli
