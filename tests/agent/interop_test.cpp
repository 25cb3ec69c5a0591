// Our own client against the running agent on loopback: wql (in-process)
// and the access layer see through cimxmls:// what they see locally.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "../cli/wql_test_run.h"
#include "agent_process.h"
#include "wbem/remote_options.h"
#include "wmi/bw_wmi.h"
#include "wmi/object_access.h"

namespace {

using agenttest::AgentProcess;

class AgentInterop : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(agent_.ok()) << agent_.error(); }
    void TearDown() override {
        if (agent_.ok()) agenttest::expectCleanStop(agent_);
    }

    std::string host() const { return "cimxmls://127.0.0.1:" + std::to_string(agent_.port()); }

    // wql's arguments for the agent, then `rest`.
    std::vector<std::string> remote(std::vector<std::string> rest,
                                    const std::string& password = AgentProcess::kPassword) const {
        std::vector<std::string> args = {"-host:" + host(),
                                         "-user:" + std::string(AgentProcess::kUser),
                                         "-pswd:" + password, "-cacert:" + agent_.certFile()};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }

    // The access layer connected to the agent, as the window connects.
    wmi::TWMI remoteWmi() const {
        wmi::TWMI w;
        w.SetHost(host());
        w.User = AgentProcess::kUser;
        w.Password = AgentProcess::kPassword;
        w.remote.caFile = agent_.certFile();
        return w;
    }

    AgentProcess agent_;
};

// The processes in /proc now.
std::set<long> runningPids() {
    std::set<long> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") == std::string::npos) pids.insert(std::stol(name));
    }
    return pids;
}

// wql's table of "Name  ProcessId" by process id; the id is the last field.
std::map<long, std::string> processTable(const std::string& out) {
    std::map<long, std::string> rows;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(0, 4), "Name") << line;
    while (std::getline(in, line)) {
        const size_t idStart = line.find_last_of(' ') + 1;
        rows[std::stol(line.substr(idStart))] = wmi::Trimmed(line.substr(0, idStart));
    }
    return rows;
}

TEST_F(AgentInterop, WqlListsTheSameProcessesAsTheLocalService) {
    const std::string query = "select Name, ProcessId from Win32_Process";
    const std::set<long> before = runningPids();
    const auto here = wqltest::run({query});
    const auto there = wqltest::run(remote({query}));
    const std::set<long> after = runningPids();
    ASSERT_EQ(here.code, 0) << here.err;
    ASSERT_EQ(there.code, 0) << there.err;
    // The same columns; their widths follow the longest name each run saw.
    auto columns = [](const std::string& out) {
        std::istringstream header(out.substr(0, out.find('\n')));
        return std::vector<std::string>(std::istream_iterator<std::string>(header), {});
    };
    EXPECT_EQ(columns(here.out), columns(there.out));
    const auto local = processTable(here.out);
    const auto served = processTable(there.out);

    // Processes come and go between the two runs (many, when tests run side
    // by side); those that ran throughout are in both lists.
    size_t steady = 0;
    for (long pid : before) {
        if (!after.count(pid)) continue;
        ++steady;
        EXPECT_TRUE(local.count(pid)) << "locally missing: " << pid;
        EXPECT_TRUE(served.count(pid)) << "missing from the agent: " << pid;
    }
    EXPECT_GT(steady, 2u);
    // Names of processes that cannot have changed their program meanwhile.
    for (long pid : {1L, long(::getpid()), long(agent_.pid())}) {
        ASSERT_TRUE(local.count(pid) && served.count(pid)) << pid;
        EXPECT_EQ(local.at(pid), served.at(pid)) << pid;
        EXPECT_FALSE(served.at(pid).empty()) << pid;
    }
}

TEST_F(AgentInterop, WqlListsTheSameClassesAsTheLocalService) {
    const auto here = wqltest::run({"-classes"});
    const auto there = wqltest::run(remote({"-classes"}));
    ASSERT_EQ(here.code, 0) << here.err;
    ASSERT_EQ(there.code, 0) << there.err;
    EXPECT_NE(there.out.find("\nWin32_Process\n"), std::string::npos);
    EXPECT_EQ(here.out, there.out);
}

// The object without its server and namespace, which differ between the two.
std::string relative(const std::string& path) { return path.substr(path.find(':') + 1); }

TEST_F(AgentInterop, AnObjectAndItsAssociationsReadAsLocally) {
    // Process 1 lives as long as the machine, with the same threads.
    const std::string path = "Win32_Process.Handle=\"1\"";
    wmi::TWMI local;
    wmi::TWMI served = remoteWmi();
    struct Seen {
        wmi::ObjectValues object;
        std::multiset<std::string> associated, associations;
    };
    auto read = [&](wmi::TWMI& w, Seen& seen) {
        ASSERT_TRUE(wmi::ReadObject(w, path, seen.object)) << w.LastError;
        wmi::TextList paths;
        ASSERT_TRUE(wmi::AssociatorsOf(w, path, paths)) << w.LastError;
        for (const auto& p : paths) seen.associated.insert(relative(p));
        std::vector<wmi::AssociationObject> refs;
        ASSERT_TRUE(wmi::ReferencesOf(w, path, refs)) << w.LastError;
        for (const auto& a : refs) {
            std::string line = a.className;
            for (const auto& [role, ref] : a.references) line += " " + role + "=" + relative(ref);
            seen.associations.insert(line);
        }
    };
    Seen here, there;
    read(local, here);
    read(served, there);
    EXPECT_EQ(relative(there.object.path), path);
    EXPECT_EQ(there.object.className, "Win32_Process");
    EXPECT_EQ(there.object.names, here.object.names);
    EXPECT_FALSE(there.associated.empty());
    EXPECT_EQ(there.associated, here.associated);
    EXPECT_EQ(there.associations, here.associations);
}

TEST_F(AgentInterop, AClassDefinitionReadsAsLocally) {
    wmi::TWMI local;
    wmi::TWMI served = remoteWmi();
    struct Definition {
        wmi::TextList properties, methods, in, out;
        std::vector<std::string> typed;  // "Name type[] origin" of each property
    };
    auto read = [](wmi::TWMI& w, Definition& d) {
        ASSERT_TRUE(w.ClassPropertyNames("Win32_Process", d.properties)) << w.LastError;
        ASSERT_TRUE(w.ClassMethods("Win32_Process", d.methods, &d.in, &d.out)) << w.LastError;
        auto cls = w.OpenServices()->Get("Win32_Process");
        auto all = cls->Properties_()->NewEnum();
        for (wbem::ElementPtr e; all->Next(e) == 0 && e;) {
            auto p = std::dynamic_pointer_cast<wbem::ISWbemProperty>(e);
            ASSERT_TRUE(p);
            d.typed.push_back(p->Name() + " " + std::to_string(int(p->CIMType())) +
                              (p->IsArray() ? "[] " : " ") + p->Origin());
        }
    };
    Definition here, there;
    ASSERT_NO_FATAL_FAILURE(read(local, here));
    ASSERT_NO_FATAL_FAILURE(read(served, there));
    EXPECT_GT(here.properties.size(), 10u);
    EXPECT_EQ(here.properties, there.properties);
    EXPECT_EQ(here.typed, there.typed);
    EXPECT_FALSE(here.methods.empty());
    EXPECT_EQ(here.methods, there.methods);
    EXPECT_EQ(here.in, there.in);
    EXPECT_EQ(here.out, there.out);
}

TEST_F(AgentInterop, WqlReportsTheSameErrorsAsLocally) {
    const std::vector<std::vector<std::string>> cases = {
        {"select * from NoSuchClass"},
        {"-namespace:root\\nosuch", "select * from Win32_Process"},
        {"select Name from Win32_Process where"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.back());
        const auto here = wqltest::run(c);
        const auto there = wqltest::run(remote(c));
        EXPECT_EQ(here.code, 1) << here.err;
        EXPECT_EQ(there.code, here.code) << there.err;
        // The same description; the agent's own words may follow it.
        ASSERT_EQ(here.err.back(), '\n');
        const std::string description = here.err.substr(0, here.err.size() - 1);
        EXPECT_TRUE(there.err == here.err || there.err.rfind(description + ". ", 0) == 0)
            << there.err;
    }
    // A refused login reads as Windows reports one of a remote machine.
    const auto refused = wqltest::run(remote({"select Name from Win32_Process"}, "wrong"));
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err.rfind("Error: Access is denied.", 0), 0u) << refused.err;
    EXPECT_EQ(refused.out, "");
}

}  // namespace
