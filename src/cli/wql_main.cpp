// wql: runs one WQL query and prints the result as a table, CSV, TSV or an HTML report.
#include <unistd.h>

#include <iostream>

#include "fd_streambuf.h"
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
    // Standard output through a buffer that keeps the reason a write failed.
    cli::FdStreamBuf outBuffer(STDOUT_FILENO);
    std::ostream out(&outBuffer);
    return cli::runWql(*options, out, std::cerr);
}
