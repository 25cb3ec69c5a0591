// wql against a Windows host's recorded WinRM replies, as a user runs it.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/wql_run.h"
#include "replay_server.h"
#include "wql_test_run.h"

namespace {

using wbem::test::ReplayServer;

using wqltest::Result;
using wqltest::run;

}  // namespace

TEST(WqlWinrm, QueriesClassesAndCsvFromAWindowsHost) {
    std::string reason;
    if (!ReplayServer::available(&reason)) GTEST_SKIP() << reason;
    ReplayServer server({"--tls", "--user", "admin", "--password", "Pa55-word"});
    const std::vector<std::string> target = {"-host:" + server.url("https"), "-auth:basic",
                                             "-user:admin", "-pswd:Pa55-word",
                                             "-cacert:" + server.caCertPath()};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = target;
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    };

    Result r = with({"select Name, ProcessId, CreationDate from Win32_Process"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("System Idle Process"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("20130429114311.203125-420"), std::string::npos) << r.out;

    r = with({"-classes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Win32_DiskDrive\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Win32_Process\n"), std::string::npos) << r.out;

    r = with({"-format:csv", "-sort:Size:desc",
              "select DeviceID, Size, BytesPerSector from Win32_DiskDrive"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header, "BytesPerSector,DeviceID,Size\r");
    EXPECT_EQ(first.rfind("512,", 0), 0u) << first;

    r = with({"select * from Win32_NoSuchClass"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "Error: Invalid query. The specified class does not exist in the given namespace.\n");

    r = run({"-host:" + server.url("https"), "-auth:basic", "-user:admin", "-pswd:guess",
             "-cacert:" + server.caCertPath(), "select * from Win32_Process"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error: Access is denied.", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("guess"), std::string::npos) << r.err;
}

TEST(WqlWinrm, NtlmWithMessageEncryptionOverPlainHttp) {
    std::string reason;
    if (!ReplayServer::negotiateAvailable(&reason)) GTEST_SKIP() << reason;
    ReplayServer server(ReplayServer::Options{{"--negotiate", "TEST:u:p"}, true});
    Result r = run({"-host:" + server.url("http"), "-auth:ntlm", "-user:TEST\\u", "-pswd:p",
                    "select * from Win32_Process"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("System Idle Process"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("20130429114311.203125-420"), std::string::npos) << r.out;
    size_t sealed = 0;
    for (const auto& line : server.logLines()) {
        if (line.rfind("Handshake ", 0) == 0) continue;
        EXPECT_NE(line.find(" sealed frame="), std::string::npos) << line;
        ++sealed;
    }
    EXPECT_GE(sealed, 2u);

    // The same host, a wrong password: no query reaches it.
    r = run({"-host:" + server.url("http"), "-auth:ntlm", "-user:TEST\\u", "-pswd:guess",
             "select * from Win32_Process"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error: Access is denied.", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("guess"), std::string::npos) << r.err;
}
