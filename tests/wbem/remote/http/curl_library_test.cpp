// libcurl is loaded when a remote call first needs it. Each case runs in a
// fresh copy of this program (the library, once loaded, stays), one of them
// finding a library of that name without libcurl's functions first.
#include "wbem/remote/http/curl_library.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "wbem/errors.h"

extern char** environ;

namespace {

constexpr const char* kChildEnv = "CIMSCOPE_CURL_CHILD";

bool curlMapped() {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("libcurl") != std::string::npos;
}

// This program's one test `name`, alone, in a fresh process with `env`
// added; its exit status (0 when the test passed).
int runChild(const std::string& name, std::vector<std::string> env) {
    env.push_back(std::string(kChildEnv) + "=1");
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=CurlLibrary." + name;
    char exe[] = "/proc/self/exe";
    char* argv[] = {exe, filter.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, exe, nullptr, nullptr, argv, envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool inChild() { return std::getenv(kChildEnv) != nullptr; }

}  // namespace

TEST(CurlLibrary, LoadedOnFirstUse) {
    if (!inChild()) GTEST_SKIP() << "runs in a fresh process (LoadedOnlyWhenNeeded)";
    EXPECT_FALSE(curlMapped()) << "loaded before any remote call";
    const auto& curl = wbem::http::curlApi();
    EXPECT_TRUE(curlMapped());
    EXPECT_STREQ(curl.easy_strerror(CURLE_OK), "No error");
    CURL* handle = curl.easy_init();
    ASSERT_NE(handle, nullptr);
    curl.easy_cleanup(handle);
    EXPECT_EQ(&wbem::http::curlApi(), &curl);
}

TEST(CurlLibrary, WithoutItAClearError) {
    if (!inChild()) GTEST_SKIP() << "runs in a fresh process (LoadedOnlyWhenNeeded)";
    for (int attempt = 0; attempt < 2; ++attempt) {  // and again on the next call
        try {
            wbem::http::curlApi();
            ADD_FAILURE() << "a library without libcurl's functions was taken";
        } catch (const wbem::WbemError& e) {
            EXPECT_EQ(e.code(), wbem::hr::Failed);
            EXPECT_NE(std::string(e.what()).find(
                          "The HTTP library could not be loaded: libcurl.so.4 has no curl_"),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(CurlLibrary, LoadedOnlyWhenNeeded) {
    if (inChild()) GTEST_SKIP() << "the parent of the other cases";
    EXPECT_EQ(runChild("LoadedOnFirstUse", {}), 0);
    EXPECT_EQ(runChild("WithoutItAClearError", {"LD_LIBRARY_PATH=" CIMSCOPE_FAKE_CURL_DIR}), 0);
}
