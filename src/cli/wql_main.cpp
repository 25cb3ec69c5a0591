// wql: runs one WQL query and prints the result as a table, CSV, TSV or an HTML report.
#include <unistd.h>

#include <iostream>

#include "wql_options.h"
#include "wql_run.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = cli::parseWqlOptions(args, error);
    if (!options) {
        std::cerr << "wql: " << error << "\n" << cli::wqlUsage();
        return 2;
    }
    options->toTerminal = ::isatty(STDOUT_FILENO) == 1;
    return cli::runWql(*options, std::cout, std::cerr);
}
