// The instance enumeration thread against a Windows host's recorded WinRM
// replies: instances arrive in Pull batches, and the thread's limit ends the
// server's enumeration early.
#include <gtest/gtest.h>

#include <algorithm>

#include "replay_server.h"
#include "window_loop.h"
#include "wmi/instances_thread.h"

namespace {

using wbem::test::ReplayServer;

TEST(InstancesThreadWinrm, TheLimitStopsARemoteRunAndReleasesTheEnumeration) {
    std::string reason;
    if (!ReplayServer::available(&reason)) GTEST_SKIP() << reason;
    ReplayServer server(ReplayServer::Options{{"--repeat", "30500"}, true});
    wbem::RemoteOptions options;
    options.auth = wbem::AuthMethod::Basic;
    options.allowUnencrypted = true;

    wmi::PlainTargetList list;
    std::vector<std::pair<int32_t, std::string>> done;
    auto* thread = new wmi::TWMIInstancesThread;  // Terminate() disposes of it
    thread->Limit = 30000;
    thread->OnDone = [&](wmi::TWMIInstancesThread*, int32_t count, const std::string& error) {
        done.emplace_back(count, error);
    };
    thread->SetTarget(server.url("http"), "root\\cimv2", "", "", "Win32_Process", &list, options);
    ASSERT_TRUE(wmitest::pumpUntil([&] { return !done.empty(); }, std::chrono::seconds(240)));
    thread->Terminate();

    EXPECT_EQ(done[0].second, "");
    EXPECT_EQ(done[0].first, 30001);
    ASSERT_EQ(list.lines.size(), 30001u);
    // Named by their Name property, which the class definition offers.
    EXPECT_EQ(list.lines[0], "System Idle Process");
    EXPECT_EQ(list.lines[1], "System");
    auto lines = server.logLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.find("enumeration/Release") != std::string::npos;
                            }),
              1);
}

}  // namespace
