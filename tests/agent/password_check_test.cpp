// Who may use the agent: the users file, PAM's conversation, and the login
// guard's memory of good logins and delay after bad ones.
#include "agent/password_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "basic_auth.h"

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("cimscope-users-" + std::to_string(::getpid()));
    TempDir() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Counting : public agent::PasswordCheck {
  public:
    std::atomic<int> calls{0};
    bool check(const std::string& user, const std::string& password) override {
        ++calls;
        return user == "u" && password == "right";
    }
};

using agenttest::basic;

}  // namespace

// libpam 1.5 leaks a small block when pam_start_confdir finds no file for the
// service (the system's own configuration falls back to "other" and does
// not). Not ours to fix; LeakSanitizer looks past it here so that a leak of
// ours still fails this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpam.so\n"; }

TEST(AgentUsersFile, AddedUsersLogInWithTheirPasswordOnly) {
    TempDir dir;
    const std::string file = (dir.path / "users").string();
    agent::UsersFile::addUser(file, "ann", "first secret");
    agent::UsersFile::addUser(file, "bob", "b");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(slurp(file).find("first secret"), std::string::npos);  // only a hash is kept

    agent::UsersFile users(file);
    EXPECT_TRUE(users.check("ann", "first secret"));
    EXPECT_FALSE(users.check("ann", "first secre"));
    EXPECT_FALSE(users.check("Ann", "first secret"));
    EXPECT_FALSE(users.check("nobody", "first secret"));
    EXPECT_TRUE(users.check("bob", "b"));

    // A new password replaces the old one; the running agent sees the change.
    agent::UsersFile::addUser(file, "ann", "second");
    EXPECT_FALSE(users.check("ann", "first secret"));
    EXPECT_TRUE(users.check("ann", "second"));
    EXPECT_TRUE(users.check("bob", "b"));

    for (const char* bad : {"", "a:b", "a b", "x/y"})
        EXPECT_THROW(agent::UsersFile::addUser(file, bad, "pw"), std::runtime_error) << bad;
    EXPECT_THROW(agent::UsersFile::addUser(file, "carl", ""), std::runtime_error);
}

TEST(AgentUsersFile, DamagedRecordsNeverMatch) {
    const std::string good = agent::UsersFile::hashRecord("pw", 1000);
    EXPECT_TRUE(agent::UsersFile::matches(good, "pw"));
    for (const std::string& bad :
         {std::string(""), std::string("plain:pw"), "md5:" + good.substr(14),
          good.substr(0, good.size() - 4), std::string("pbkdf2-sha256:1:AAAA:AAAA"),
          std::string("pbkdf2-sha256:99999999999:AAAA:AAAA")})
        EXPECT_FALSE(agent::UsersFile::matches(bad, "pw")) << bad;
}

TEST(AgentPam, TheConversationHandsPamThePassword) {
    TempDir dir;
    std::ofstream(dir.path / "allow")
        << "auth required pam_permit.so\naccount required pam_permit.so\n";
    std::ofstream(dir.path / "deny")
        << "auth required pam_deny.so\naccount required pam_permit.so\n";
    if (!fs::exists("/usr/lib/x86_64-linux-gnu/security/pam_permit.so") &&
        !fs::exists("/lib/security/pam_permit.so"))
        GTEST_SKIP() << "PAM's pam_permit module is not installed";
    EXPECT_TRUE(agent::PamCheck("allow", dir.path.string()).check("someone", "pw"));
    EXPECT_FALSE(agent::PamCheck("deny", dir.path.string()).check("someone", "pw"));
    EXPECT_FALSE(agent::PamCheck("missing-service", dir.path.string()).check("someone", "pw"));

    // pam_unix waits about 2 s after a failure; the agent delays failures
    // itself without holding a turn, so PAM's own wait is switched off.
    std::ofstream(dir.path / "unix") << "auth required pam_unix.so\naccount required pam_unix.so\n";
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(agent::PamCheck("unix", dir.path.string()).check("no-such-user-here", "pw"));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1500));
}

TEST(AgentLoginGuard, RemembersGoodLoginsAndSlowsDownBadOnes) {
    auto counting = std::make_unique<Counting>();
    Counting& check = *counting;
    agent::LoginGuard guard(std::move(counting),
                            {std::chrono::seconds(300), 16, std::chrono::milliseconds(150),
                             std::chrono::milliseconds(300)});
    EXPECT_EQ(guard.login(basic("u:right"), "10.0.0.1"), "u");
    EXPECT_EQ(guard.login(basic("u:right"), "10.0.0.2"), "u");
    EXPECT_EQ(check.calls, 1);  // the second was remembered

    for (const auto& header :
         {std::string("Basic !!!"), std::string("Bearer abc"), basic("nocolon"), basic(":nouser")})
        EXPECT_EQ(guard.login(header, "10.0.0.3"), std::nullopt) << header;
    EXPECT_EQ(guard.login(std::nullopt, "10.0.0.3"), std::nullopt);

    using Clock = std::chrono::steady_clock;
    auto timed = [&](const std::string& peer) {
        const auto t0 = Clock::now();
        EXPECT_EQ(guard.login(basic("u:wrong"), peer), std::nullopt);
        return Clock::now() - t0;
    };
    EXPECT_GE(timed("10.0.0.4"), std::chrono::milliseconds(150));
    EXPECT_GE(timed("10.0.0.4"), std::chrono::milliseconds(300));  // grows per address
    EXPECT_EQ(guard.login(basic("u:right"), "10.0.0.4"), "u");     // a good one still gets in
}
