// Reading the shared recorded exchanges; tests skip with the reason when the
// shared fixtures are not beside the project.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace wbem::test {

inline std::string wsmanFixtureDir() { return std::string(CIMSCOPE_FIXTURES) + "/wsman"; }

inline bool haveWsmanFixtures() { return std::filesystem::is_directory(wsmanFixtureDir()); }

inline std::string readWsmanFixture(const std::string& relative) {
    std::ifstream in(wsmanFixtureDir() + "/" + relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace wbem::test

#define SKIP_WITHOUT_WSMAN_FIXTURES()                                                  \
    if (!::wbem::test::haveWsmanFixtures())                                            \
    GTEST_SKIP() << "shared fixtures not found at " << ::wbem::test::wsmanFixtureDir() \
                 << " (../shared beside the project)"
