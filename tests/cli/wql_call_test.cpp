// wql -call: through the program's own option parsing and run function, on
// this machine's service.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "idle_child.h"
#include "wql_test_run.h"

namespace {

std::string processTarget(const std::string& pid, const char* method) {
    return "-call:Win32_Process.Handle=\"" + pid + "\"." + method;
}

// The value of a "Name = value" line of the output.
std::string outLine(const std::string& out, const std::string& name) {
    const std::string head = name + " = ";
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        if (out.compare(at, head.size(), head) == 0)
            return out.substr(at + head.size(), end - at - head.size());
        at = end + 1;
    }
    return {};
}

using testsupport::IdleChild;

bool gone(const std::string& pid) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + pid + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t close = text.rfind(')');
        if (close == std::string::npos || text.compare(close + 2, 1, "Z") == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

TEST(WqlCall, StartsAProcessAndEndsIt) {
    auto created = wqltest::run(
        {"-call:Win32_Process.Create", "-arg:CommandLine=sleep 60", "-arg:CurrentDirectory=/"});
    ASSERT_EQ(created.code, 0) << created.err;
    EXPECT_EQ(outLine(created.out, "ReturnValue"), "0 (Successful Completion)") << created.out;
    const std::string pid = outLine(created.out, "ProcessId");
    ASSERT_FALSE(pid.empty()) << created.out;
    const std::string stillThere = "/proc/" + pid + "/cmdline";
    ASSERT_TRUE(std::ifstream(stillThere).good());

    auto owner = wqltest::run({processTarget(pid, "GetOwner")});
    EXPECT_EQ(owner.code, 0) << owner.err;
    EXPECT_FALSE(outLine(owner.out, "User").empty()) << owner.out;

    // A method that ran and said no: what it said is printed, the exit code is 3.
    auto refused = wqltest::run({processTarget(pid, "SetPriority"), "-arg:Priority=7"});
    EXPECT_EQ(refused.code, 3);
    EXPECT_EQ(refused.out, "ReturnValue = 21 (Invalid Parameter)\n");

    auto ended = wqltest::run({processTarget(pid, "Terminate"), "-arg:reason=0x10"});
    EXPECT_EQ(ended.code, 0) << ended.err;
    EXPECT_TRUE(gone(pid));
}

TEST(WqlCall, WhatCannotRunIsSaidAndFails) {
    IdleChild child;
    const std::string self = child.pid();
    struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{processTarget(self, "Explode")},
         "Error: Invalid method. Win32_Process has no method Explode."},
        {{processTarget(self, "Terminate"), "-arg:Signal=9"},
         "Error: Invalid parameter. Terminate has no in-parameter Signal."},
        {{processTarget(self, "SetPriority"), "-arg:Priority=high"},
         "Error: Invalid parameter. Priority: \"high\" is not a sint32."},
        {{processTarget(self, "SetPriority"), "-arg:Priority=1", "-arg:PRIORITY=2"},
         "Error: Invalid parameter. Priority is given twice."},
        {{"-call:Win32_Process.Terminate"}, "Terminate runs on an instance of Win32_Process"},
        {{"-call:No_Such_Class.Create"}, "Error: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        auto r = wqltest::run(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(WqlCall, OptionsThatDoNotMakeACallAreBadUsage) {
    struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"-call:Win32_Process"}, "-call: needs CLASS.Method or PATH.Method"},
        {{"-call:Win32_Process."}, "-call: needs CLASS.Method"},
        {{"-call:Win32_Process.Create", "-arg:CommandLine"}, "-arg: needs NAME=VALUE"},
        {{"-arg:CommandLine=x"}, "-call:, which is missing"},
        {{"-call:Win32_Process.Create", "select * from Win32_Process"}, "no query"},
        {{"-call:Win32_Process.Create", "-format:csv"}, "no query, -classes, -sort: or -format:"},
        {{"-call:A.B", "-call:A.C"}, "given twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::string error;
        EXPECT_FALSE(cli::parseWqlOptions(c.args, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    // The method follows the last dot outside the quotes; -arg: may come before -call:.
    std::string error;
    auto o = cli::parseWqlOptions(
        {"-arg:Reason=1", "-call:Win32_Service.Name=\"a.b\".StopService", "-arg:X=a=b"}, error);
    ASSERT_TRUE(o && o->call) << error;
    EXPECT_EQ(o->call->path, "Win32_Service.Name=\"a.b\"");
    EXPECT_EQ(o->call->method, "StopService");
    using Args = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(o->call->arguments, (Args{{"Reason", "1"}, {"X", "a=b"}}));
}
