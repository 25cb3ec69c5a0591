// Runs wql as the program does: options parsed, the query run, the output
// and the error text caught.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/wql_run.h"

namespace wqltest {

struct Result {
    int code;
    std::string out, err;
};

inline Result run(const std::vector<std::string>& args) {
    std::string error;
    auto o = cli::parseWqlOptions(args, error);
    EXPECT_TRUE(o) << error;
    if (!o) return {-1, "", error};
    std::ostringstream out, err;
    const int code = cli::runWql(*o, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace wqltest
