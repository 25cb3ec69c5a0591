// Namespaces, includes and files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "mof_test_util.h"
#include "wbem/mof/applier.h"

namespace wbem::mof {
namespace {

using testing::compiled;
using testing::compileError;
using testing::testNs;

TEST(PragmaNamespace, Forms) {
    struct Case {
        const char* pragma;  // as written in MOF, escapes included
        const char* where;
    } cases[] = {
        {"\\\\\\\\.\\\\root\\\\abs", "root\\abs"},
        {"\\\\\\\\server\\\\root\\\\remote", "root\\remote"},
        {"//./root/slashes", "root\\slashes"},
        {"root\\\\plain", "root\\plain"},
        {"ROOT/upper", "root\\upper"},
        {"\\\\root\\\\lead", "root\\lead"},
        {"child", "root\\test\\child"},
        {"child\\\\grand", "root\\test\\child\\grand"},
    };
    for (const Case& c : cases) {
        auto state =
            compiled(std::string("#pragma namespace(\"") + c.pragma + "\")\nclass Here { };\n");
        const NamespaceState* ns = state->find(c.where);
        ASSERT_TRUE(ns) << c.pragma;
        EXPECT_TRUE(ns->findClass("Here")) << c.pragma;
        EXPECT_FALSE(testNs(state).findClass("Here")) << c.pragma;
    }
}

TEST(PragmaNamespace, RelativeStepsAndCreatedEvenWhenEmpty) {
    auto state = compiled(
        "#pragma namespace(\"a\")\n#pragma namespace(\"b\")\nclass Deep { };\n"
        "#pragma namespace(\"\\\\\\\\.\\\\root\\\\empty\")\n");
    ASSERT_TRUE(state->find("root\\test\\a\\b"));
    EXPECT_TRUE(state->find("root\\test\\a\\b")->findClass("Deep"));
    EXPECT_TRUE(state->find("root\\empty"));
    EXPECT_EQ(pragmaNamespace("x", "root\\test"), "root\\test\\x");
}

TEST(PragmaNamespace, InvalidPaths) {
    for (const char* path : {"\\\\\\\\.\\\\", "a\\\\\\\\b", "", "x\\\\"}) {
        auto f = compileError(std::string("#pragma namespace(\"") + path + "\")\nclass A { };");
        EXPECT_EQ(f.code, hr::InvalidNamespace) << path;
        EXPECT_EQ(f.message.rfind("invalid namespace path '", 0), 0u) << f.message;
        EXPECT_EQ(f.column, 19) << path;
    }
    auto f = compileError("#pragma namespace(root)");
    EXPECT_EQ(f.message, "expected a namespace path as a string in #pragma namespace");
}

TEST(PragmaNamespace, DefaultNamespaceIsCreatedWhenUsed) {
    Repository repo;
    Options o = testing::testOptions();
    o.defaultNamespace = "root\\fresh";
    {
        Repository::Transaction tx(repo);
        compileText(tx, "class A { };", "t.mof", o);
        tx.commit();
    }
    ASSERT_TRUE(repo.snapshot()->find("root\\fresh"));
    EXPECT_TRUE(repo.snapshot()->find("root\\fresh")->findClass("A"));

    Repository::Transaction tx2(repo);
    o.defaultNamespace = "";
    try {
        compileText(tx2, "\n  class A { };", "t.mof", o);
        FAIL() << "no error";
    } catch (const MofError& e) {
        EXPECT_STREQ(e.what(), "t.mof(2,9): invalid namespace ''");
        EXPECT_EQ(e.code(), hr::InvalidNamespace);
    }
}

TEST(Pragmas, OthersAreAccepted) {
    auto state = compiled(
        "#pragma locale(\"en_US\")\n#pragma classflags(\"forceupdate\")\n"
        "#pragma instanceflags(\"updateonly\")\n#pragma deleteclass(\"Gone\", NOFAIL)\n"
        "#pragma autorecover\n#pragma source(\"\\\\\\\\.\\\\root\\\\x\")\n#pragma Unknown(1, 2.5, "
        "TRUE)\n"
        "class Kept { };");
    EXPECT_TRUE(testNs(state).findClass("Kept"));
}

TEST(PragmaInclude, RelativeToTheIncludingFileAndNamespacesCarryOn) {
    std::map<std::string, std::string> files = {
        {"schema/Core/a.mof",
         "class A { };\n#pragma include(\"../Extra/b.mof\")\nclass C : B { };"},
        {"schema/Extra/b.mof", "#pragma namespace(\"sub\")\nclass B : A_In_Sub { };"},
    };
    // b.mof moves on to root\test\sub; what follows the include stays there.
    auto f = compileError("#pragma include(\"schema/Core/a.mof\")", files);
    EXPECT_EQ(f.file, "schema/Extra/b.mof");
    EXPECT_EQ(f.message, "unknown superclass 'A_In_Sub' of class 'B'");

    files["schema/Extra/b.mof"] =
        "#pragma namespace(\"sub\")\nclass A_In_Sub { };\nclass B : A_In_Sub { };";
    auto state = compiled("#pragma include(\"schema/Core/a.mof\")", files);
    EXPECT_TRUE(testNs(state).findClass("A"));
    const NamespaceState* sub = state->find("root\\test\\sub");
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->findClass("B"));
    EXPECT_TRUE(sub->findClass("C"));
}

TEST(CompileFile, ThroughTheLoader) {
    Repository repo;
    Options o =
        testing::testOptions({{"dir/main.mof", "#pragma include(\"part.mof\")\nclass M : P { };"},
                              {"dir/part.mof", "class P { };"}});
    {
        Repository::Transaction tx(repo);
        compileFile(tx, "dir/main.mof", o);
        tx.commit();
    }
    EXPECT_TRUE(repo.snapshot()->find("root\\test")->findClass("M"));

    Repository::Transaction tx2(repo);
    try {
        compileFile(tx2, "dir/none.mof", o);
        FAIL() << "no error";
    } catch (const MofError& e) {
        EXPECT_STREQ(e.what(), "dir/none.mof: cannot open the file");
        EXPECT_EQ(e.line(), 0);
    }
}

TEST(CompileFile, FromDisk) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("mof_disk_" + std::to_string(::getpid()));
    fs::create_directories(dir / "inc");
    std::ofstream(dir / "main.mof") << "#pragma include(\"inc/part.mof\")\nclass M : P { };\n";
    std::ofstream(dir / "inc" / "part.mof") << "class P { };\n#pragma include(\"../inc\")\n";

    Repository repo;
    Options o;  // no loader: the disk
    o.defaultNamespace = "root\\test";
    try {
        Repository::Transaction tx(repo);
        compileFile(tx, (dir / "main.mof").string(), o);
        ADD_FAILURE() << "a folder was read as a file";
    } catch (const MofError& e) {
        EXPECT_EQ(e.message(),
                  "cannot read include file '" + (dir / "inc").string() + "': not a regular file");
        EXPECT_EQ(e.file(), (dir / "inc" / "part.mof").string());
    }
    std::ofstream(dir / "inc" / "part.mof") << "class P { };\n";
    Repository::Transaction tx2(repo);
    compileFile(tx2, (dir / "main.mof").string(), o);
    tx2.commit();
    EXPECT_TRUE(repo.snapshot()->find("root\\test")->findClass("M"));
    EXPECT_FALSE(diskLoader()((dir / "missing.mof").string()).has_value());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace wbem::mof
