// Methods of this machine's Win32_Process, through the embedded service as
// a program calls them: on processes this test starts, and on processes the
// caller may not touch.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "../../support/idle_child.h"
#include "../../support/temp_folder.h"
#include "wbem/api.h"

using namespace wbem;
using testsupport::IdleChild;

namespace {

using Args = std::vector<std::pair<std::string, std::string>>;

std::shared_ptr<ISWbemServices> connect() {
    return CreateLocator()->ConnectServer("", "root\\cimv2");
}

std::string processPath(pid_t pid) {
    return "Win32_Process.Handle=\"" + std::to_string(pid) + "\"";
}

// The out-parameters object's values by name.
Variant outValue(const std::shared_ptr<ISWbemObject>& out, const char* name) {
    return out->Properties_()->Item(name)->Value();
}

int64_t returnValue(const std::shared_ptr<ISWbemObject>& out) {
    return outValue(out, "ReturnValue").asInt();
}

// The fields of /proc/PID/stat after the command name; empty when it is gone.
std::vector<std::string> statFields(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> fields;
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return fields;
    std::istringstream rest(text.substr(close + 2));
    for (std::string f; rest >> f;) fields.push_back(f);
    return fields;  // [0] state, [1] parent, [3] session, [16] nice
}

bool endsWithin(pid_t pid, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        auto f = statFields(pid);
        if (f.empty() || f[0] == "Z" || f[0] == "X") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A sleeping child of this test, run as `uid` when given (which needs root).
IdleChild::Options sleeping(uid_t uid = uid_t(-1)) { return {{"sleep", "60"}, uid}; }

// This thread's effective user for the life of the object (the raw call
// changes only the calling thread); effective capabilities go with root.
class ActingAs {
  public:
    explicit ActingAs(uid_t uid) { ok_ = ::syscall(SYS_setresuid, -1, uid, -1) == 0; }
    ~ActingAs() {
        if (ok_) ::syscall(SYS_setresuid, -1, 0, -1);
    }
    bool ok() const { return ok_; }

  private:
    bool ok_ = false;
};

constexpr uid_t kNobody = 65534, kSomeoneElse = 65533;

}  // namespace

TEST(ProcessMethods, CreateGetOwnerSetPriorityTerminateOnAProcessItStarted) {
    auto s = connect();
    TempFolder dir;
    auto created =
        s->ExecMethod("Win32_Process", "Create",
                      {{"CommandLine", "sleep '60'"}, {"CurrentDirectory", dir.path().string()}});
    ASSERT_EQ(returnValue(created), 0);
    const auto pid = pid_t(outValue(created, "ProcessId").asInt());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/cwd"), dir.path());
    {
        std::ifstream cmd("/proc/" + std::to_string(pid) + "/cmdline");
        std::string args((std::istreambuf_iterator<char>(cmd)), {});
        EXPECT_EQ(args, std::string("sleep\0"
                                    "60\0",
                                    9));
    }
    // Detached: a session of its own, and not this process's child.
    auto fields = statFields(pid);
    ASSERT_GT(fields.size(), 16u);
    EXPECT_NE(fields[1], std::to_string(::getpid())) << "parent";
    EXPECT_NE(fields[3], std::to_string(::getsid(0))) << "session";

    auto owner = s->ExecMethod(processPath(pid), "GetOwner", {});
    EXPECT_EQ(returnValue(owner), 0);
    const passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(outValue(owner, "User").asString(), me->pw_name);

    struct {
        const char* priority;
        int64_t returns;
        const char* nice;
    } priorities[] = {{"64", 0, "19"}, {"16384", 0, "10"}, {"12345", 21, "10"}};
    for (const auto& p : priorities) {
        SCOPED_TRACE(p.priority);
        auto r = s->ExecMethod(processPath(pid), "SetPriority", {{"Priority", p.priority}});
        EXPECT_EQ(returnValue(r), p.returns);
        EXPECT_EQ(statFields(pid).at(16), p.nice);
    }

    auto ended = s->ExecMethod(processPath(pid), "Terminate", {{"Reason", "7"}});
    EXPECT_EQ(returnValue(ended), 0);
    EXPECT_TRUE(endsWithin(pid, std::chrono::seconds(10)));
}

TEST(ProcessMethods, CreateSaysWhyItStartedNothing) {
    auto s = connect();
    TempFolder dir;
    const std::string plain = dir.file("plain");
    std::ofstream(plain) << "#!/bin/sh\n";  // not executable
    struct {
        const char* commandLine;
        std::string directory;
        int64_t returns;
    } cases[] = {
        {"", "", 21},
        {"   ", "", 21},
        {"sleep 'unterminated", "", 21},
        {"no-such-program-cimscope-test", "", 9},
        {"/no/such/folder/sleep 1", "", 9},
        {"sleep 1", "/no/such/folder", 9},
        {"./plain", dir.path().string(), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        Args args{{"CommandLine", c.commandLine}};
        if (!c.directory.empty()) args.push_back({"CurrentDirectory", c.directory});
        auto r = s->ExecMethod("Win32_Process", "Create", args);
        EXPECT_EQ(returnValue(r), c.returns);
        EXPECT_TRUE(outValue(r, "ProcessId").isNull());
    }
}

TEST(ProcessMethods, WhatTheCallerMayNotDoIsRefusedWithAccessDenied) {
    auto s = connect();
    const bool root = ::geteuid() == 0;
    // Root acts as another user in this thread and targets nobody's process;
    // anyone else targets a process of root's: PID 1.
    std::optional<IdleChild> nobodys;
    if (root) {
        nobodys.emplace(sleeping(kNobody));
        ASSERT_TRUE(nobodys->started());
    }
    const pid_t victim = root ? nobodys->processId() : 1;
    {
        std::optional<ActingAs> other;
        if (root) {
            other.emplace(kSomeoneElse);
            ASSERT_TRUE(other->ok());
        }
        EXPECT_EQ(returnValue(s->ExecMethod(processPath(victim), "Terminate", {})), 2);
        EXPECT_EQ(
            returnValue(s->ExecMethod(processPath(victim), "SetPriority", {{"Priority", "64"}})),
            2);
    }
    if (root) {
        EXPECT_TRUE(nobodys->alive());
    }

    // A lower nice value than now needs a privilege the caller lacks.
    rlimit nice{};
    ::getrlimit(RLIMIT_NICE, &nice);
    if (!root && nice.rlim_cur > 0) GTEST_SKIP() << "RLIMIT_NICE lets this user raise priorities";
    std::optional<IdleChild> own;
    own.emplace(sleeping(root ? kNobody : uid_t(-1)));
    ASSERT_TRUE(own->started());
    std::optional<ActingAs> asOwner;
    if (root) asOwner.emplace(kNobody);
    EXPECT_EQ(returnValue(s->ExecMethod(processPath(own->processId()), "SetPriority",
                                        {{"Priority", "128"}})),
              3);
}

TEST(ProcessMethods, BadCallsFailWithTheirReason) {
    auto s = connect();
    const IdleChild child(sleeping());
    ASSERT_TRUE(child.started());
    const std::string self = processPath(child.processId());
    struct {
        std::string path;
        const char* method;
        Args args;
        HResult code;
        const char* says;
    } cases[] = {
        {self,
         "SetPriority",
         {{"Priority", "high"}},
         hr::InvalidParameter,
         "Priority: \"high\" is not a sint32"},
        {self,
         "SetPriority",
         {{"Priority", "4294967296"}},
         hr::InvalidParameter,
         "out of the range"},
        {self, "Terminate", {{"Reason", "-1"}}, hr::InvalidParameter, "Reason"},
        {self, "Terminate", {{"Signal", "9"}}, hr::InvalidParameter, "no in-parameter Signal"},
        {self, "Explode", {}, hr::InvalidMethod, "no method Explode"},
        {"Win32_Process", "Terminate", {}, hr::InvalidMethod, "on an instance"},
        {self, "AttachDebugger", {}, hr::MethodNotImplemented, "not carried out"},
        {"Win32_Process.Handle=\"999999999\"", "Terminate", {}, hr::NotFound, "Not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " " + c.method);
        try {
            s->ExecMethod(c.path, c.method, c.args);
            ADD_FAILURE() << "ran";
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), c.code) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(child.alive());
}
