// A third-party WBEM client, Debian's sblim-wbemcli, reading this machine
// through the running agent over HTTPS: each operation's output is checked
// against what the local service and the kernel say.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <sstream>

#include "agent_process.h"
#include "wbem/service/hosts.h"
#include "wmi/bw_wmi.h"

namespace {

using agenttest::AgentProcess;

const char* const kWbemcli = "/usr/bin/wbemcli";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The lines whose object path (before the first blank) names `pathPart`.
std::vector<std::string> linesNaming(const std::string& text, const std::string& pathPart) {
    std::vector<std::string> out;
    for (const auto& line : lines(text))
        if (contains(line.substr(0, line.find(' ')), pathPart)) out.push_back(line);
    return out;
}

std::set<std::string> localClassNames() {
    wmi::TWMI wmi;
    wmi::TextList names;
    EXPECT_TRUE(wmi.GetClasses(names)) << wmi.LastError;
    return {names.begin(), names.end()};
}

TEST(AgentWbemcli, ReadsClassesInstancesAssociationsAndMethods) {
    if (::access(kWbemcli, X_OK) != 0)
        GTEST_SKIP()
            << "wbemcli is not installed (Debian's sblim-wbemcli; scripts/setup installs it)";
    AgentProcess agent;
    ASSERT_TRUE(agent.ok()) << agent.error();

    const std::string server = "127.0.0.1:" + std::to_string(agent.port());
    const std::string base = "https://" + std::string(AgentProcess::kUser) + ":" +
                             AgentProcess::kPassword + "@" + server + "/root/cimv2";
    const std::string self = std::to_string(::getpid());
    const std::string selfPath = base + ":Win32_Process.Handle=\"" + self + "\"";
    const std::string selfKey = "Win32_Process.Handle=\"" + self + "\"";
    const std::string ownThread =
        "Win32_Thread.Handle=\"" + self + "\",ProcessHandle=\"" + self + "\"";

    wmi::TWMI local;
    wmi::TextList processProperties;
    ASSERT_TRUE(local.ClassPropertyNames("Win32_Process", processProperties)) << local.LastError;
    const std::set<std::string> classes = localClassNames();
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_TRUE(me);
    const std::string userName = me->pw_name;

    struct Case {
        std::vector<std::string> args;
        std::function<void(const std::string& out)> check;
    } cases[] = {
        {{"ecn", base},
         [&](const std::string& out) {
             // Each line "127.0.0.1:PORT/root/cimv2:CLASS"; the same classes as here.
             std::set<std::string> seen;
             for (const auto& line : lines(out)) {
                 const std::string prefix = server + "/root/cimv2:";
                 ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
                 seen.insert(line.substr(prefix.size()));
             }
             EXPECT_EQ(seen, classes);
         }},
        {{"gc", base + ":Win32_Process"},
         [&](const std::string& out) {
             // "PATH Caption=,Description=,...": every property of the class
             // (in declaration order, where WMI sorts them).
             const auto all = lines(out);
             ASSERT_EQ(all.size(), 1u) << out;
             const std::string prefix = server + "/root/cimv2:Win32_Process ";
             ASSERT_EQ(all[0].rfind(prefix, 0), 0u) << all[0];
             std::set<std::string> names;
             std::istringstream list(all[0].substr(prefix.size()));
             for (std::string item; std::getline(list, item, ',');) {
                 EXPECT_EQ(item.back(), '=') << item;
                 names.insert(item.substr(0, item.size() - 1));
             }
             EXPECT_EQ(names,
                       std::set<std::string>(processProperties.begin(), processProperties.end()));
         }},
        {{"ei", base + ":Win32_Process"},
         [&](const std::string& out) {
             EXPECT_EQ(linesNaming(out, "Win32_Process.Handle=\"1\"").size(), 1u);
             const auto own = linesNaming(out, selfKey);
             ASSERT_EQ(own.size(), 1u) << out.substr(0, 2000);
             EXPECT_TRUE(contains(own[0], ",ProcessId=" + self + ","));
             EXPECT_TRUE(contains(own[0], ",ParentProcessId=" + std::to_string(::getppid()) + ","));
             EXPECT_EQ(
                 linesNaming(out, "Win32_Process.Handle=\"" + std::to_string(agent.pid()) + "\"")
                     .size(),
                 1u);
         }},
        {{"ein", base + ":Win32_Process"},
         [&](const std::string& out) {
             const auto all = lines(out);
             EXPECT_GT(all.size(), 2u);
             for (const auto& line : all)
                 EXPECT_EQ(line.rfind(server + "/root/cimv2:Win32_Process.Handle=\"", 0), 0u)
                     << line;
             EXPECT_EQ(linesNaming(out, "Win32_Process.Handle=\"1\"").size(), 1u);
             EXPECT_EQ(linesNaming(out, selfKey).size(), 1u);
         }},
        {{"gi", selfPath},
         [&](const std::string& out) {
             const auto all = lines(out);
             ASSERT_EQ(all.size(), 1u) << out;
             EXPECT_EQ(all[0].rfind(server + "/root/cimv2:" + selfKey + " ", 0), 0u) << all[0];
             EXPECT_TRUE(contains(all[0], ",ProcessId=" + self + ",")) << all[0];
             EXPECT_TRUE(contains(all[0], ",Handle=\"" + self + "\",")) << all[0];
         }},
        {{"ai", selfPath},
         [&](const std::string& out) {
             // This process's threads; the main thread's id is the process's.
             EXPECT_EQ(linesNaming(out, ownThread).size(), 1u) << out.substr(0, 2000);
             for (const auto& line : lines(out)) {
                 const std::string path = line.substr(0, line.find(' '));
                 if (contains(path, "Win32_Thread.")) {
                     EXPECT_TRUE(contains(path, "ProcessHandle=\"" + self + "\"")) << path;
                 }
             }
         }},
        {{"ri", selfPath},
         [&](const std::string& out) {
             bool found = false;
             for (const auto& line : linesNaming(out, "CIM_ProcessThread."))
                 found = found || (contains(line, selfKey) && contains(line, ownThread));
             EXPECT_TRUE(found) << out.substr(0, 2000);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> argv = {kWbemcli, "-cacert", agent.certFile()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = agenttest::runProgram(argv, agent.scratch());
        ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 1000);
        c.check(r.out);
    }

    // A method: the process's owner, or the clean refusal of a method that
    // has no provider.
    const auto owner = agenttest::runProgram(
        {kWbemcli, "-cacert", agent.certFile(), "cm", selfPath, "GetOwner"}, agent.scratch());
    if (owner.exitCode == 0) {
        EXPECT_EQ(lines(owner.out),
                  std::vector<std::string>{server + "/root/cimv2:" + selfKey +
                                           " GetOwner: 0, User (): " + userName +
                                           ", Domain (): " + wbem::localServerName()});
        std::cout << "cm GetOwner: answered with the owner\n";
    } else {
        EXPECT_TRUE(contains(owner.err, "(16) CIM_ERR_METHOD_NOT_AVAILABLE")) << owner.err;
        std::cout << "cm GetOwner: refused as CIM_ERR_METHOD_NOT_AVAILABLE\n";
    }

    // Wrong credentials are refused, and the agent stayed up through all of it.
    const auto refused = agenttest::runProgram(
        {kWbemcli, "-cacert", agent.certFile(), "ecn",
         "https://" + std::string(AgentProcess::kUser) + ":wrong@" + server + "/root/cimv2"},
        agent.scratch());
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(contains(refused.err, "Invalid username/password")) << refused.err;
    agenttest::expectCleanStop(agent);
}

}  // namespace
