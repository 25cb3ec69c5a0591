// Hostile MOF input stops at a limit with a clean error and its position,
// instead of running for minutes or exhausting memory.
#include "wbem/limits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "mof_test_util.h"

namespace wbem::mof {
namespace {

using testing::compileError;

std::string repeated(const std::string& piece, size_t n) {
    std::string s;
    s.reserve(piece.size() * n);
    for (size_t i = 0; i < n; ++i) s += piece;
    return s;
}

TEST(MofLimits, HostileShapesStopAtTheirLimit) {
    std::string chain = "class S0 { };\n";
    for (int i = 1; i <= 20000; ++i)
        chain += "class S" + std::to_string(i) + " : S" + std::to_string(i - 1) + " { };\n";

    std::string params = "class M { uint32 F(";
    for (int i = 0; i < 200000; ++i) params += (i ? ", uint32 p" : "uint32 p") + std::to_string(i);
    params += "); };\n";

    std::string quals = "class Q { [";
    for (int i = 0; i < 200000; ++i) quals += (i ? ", Q" : "Q") + std::to_string(i);
    quals += "] uint32 P; };\n";

    std::string props = "class P {\n";
    for (size_t i = 0; i <= limits::membersPerClass; ++i)
        props += "uint8 p" + std::to_string(i) + ";\n";
    props += "};\n";

    struct Case {
        const char* what;
        std::string text;
        std::string message;  // the start of the error's message
        int line;
    } cases[] = {
        {"20,000-deep subclass chain", chain, "cannot add class 'S257'", 258},
        {"200,000 parameters", params, "method 'F' has more than 4096 parameters", 1},
        {"200,000 qualifiers", quals, "more than 1024 qualifiers", 1},
        {"too many members", props, "class 'P' has more than 65536 members", 65538},
        {"10,000-level namespace", "#pragma namespace(\"" + repeated("a\\\\", 10000) + "a\")\n",
         "invalid namespace path", 1},
        {"dot-dot namespace", "#pragma namespace(\"root\\\\..\\\\x\")\n", "invalid namespace path",
         1},
        {"blank in a namespace", "#pragma namespace(\"root\\\\a b\")\n", "invalid namespace path",
         1},
        {"angle brackets in a namespace", "#pragma namespace(\"root\\\\<x>\")\n",
         "invalid namespace path", 1},
        {"NUL in a string", std::string("class N { string S = \"a\0b\"; };\n", 31),
         "unexpected control character 0x00 in a string", 1},
    };
    for (const Case& c : cases) {
        testing::Failure f = compileError(c.text);
        EXPECT_EQ(f.message.rfind(c.message, 0), 0u) << c.what << ": " << f.message;
        EXPECT_EQ(f.line, c.line) << c.what;
    }
}

TEST(MofLimits, IncludeBombStopsAtTheIncludeCount) {
    // Each file includes the next twice: 2^30 includes if nothing stops it.
    std::map<std::string, std::string> files;
    for (int i = 0; i < 30; ++i) {
        const std::string next = "f" + std::to_string(i + 1) + ".mof";
        files["f" + std::to_string(i) + ".mof"] =
            "#pragma include(\"" + next + "\")\n#pragma include(\"" + next + "\")\n";
    }
    files["f30.mof"] = "class Leaf { };\n";
    testing::Failure f = compileError("#pragma include(\"f0.mof\")\n", files);
    EXPECT_EQ(f.message,
              "more than " + std::to_string(limits::mofIncludes) + " includes in one compile");
    EXPECT_GT(f.line, 0);
}

TEST(MofLimits, OnlyRegularFilesAreRead) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("mof_special_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path fifo = dir / "fifo.mof";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& target : {std::string("/dev/zero"), fifo.string()}) {
        std::ofstream(dir / "main.mof") << "class A { };\n#pragma include(\"" << target << "\")\n";
        Repository repo;
        Repository::Transaction tx(repo);
        Options o;
        o.defaultNamespace = "root\\test";
        try {
            compileFile(tx, (dir / "main.mof").string(), o);
            ADD_FAILURE() << target << " was read";
        } catch (const MofError& e) {
            EXPECT_EQ(e.message(), "cannot read include file '" + target + "': not a regular file");
            EXPECT_EQ(e.line(), 2);
        }
        // The same file named on its own.
        Repository repo2;
        Repository::Transaction tx2(repo2);
        try {
            compileFile(tx2, target, o);
            ADD_FAILURE() << target << " was read";
        } catch (const MofError& e) {
            EXPECT_EQ(e.message(), "cannot read the file: not a regular file");
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace wbem::mof
