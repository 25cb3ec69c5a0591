// The wp_receiver program as a calling program runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "handback/sender.h"
#include "handback/socket_name.h"
#include "temp_socket_dir.h"

namespace {

using namespace std::chrono_literals;

struct ReceiverRun {
    int status;
    std::string out;
};

// Starts the receiver with `arguments` under XDG_RUNTIME_DIR=folder, sends
// each query once its socket exists, and collects what it printed.
ReceiverRun runReceiver(const std::string& folder, const std::string& arguments,
                        const std::vector<std::string>& queries, int32_t caller) {
    const std::string command =
        "XDG_RUNTIME_DIR='" + folder + "' " WP_RECEIVER_PROGRAM " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (!pipe) return {-1, ""};
    const std::string socket = handback::SocketPathIn(folder, caller);
    for (const std::string& query : queries) {
        struct stat st {};
        for (int i = 0; i < 500 && (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)); ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(handback::SendHandBackTo(socket, query), handback::SendOutcome::Delivered);
    }
    std::string out;
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return {::pclose(pipe), out};
}

TEST(WpReceiver, PrintsEachQueryItReceives) {
    handbacktest::TempSocketDir dir;
    const ReceiverRun run =
        runReceiver(dir.path(), "4242 -count:2 -timeout:5000",
                    {"select Name from Win32_Process", "select \xC5\xBD from A"}, 4242);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.out, "select Name from Win32_Process\nselect \xC5\xBD from A\n");
}

TEST(WpReceiver, EscapesControlCharactersSoEachQueryIsOneLine) {
    handbacktest::TempSocketDir dir;
    std::string query = "select\r\nName\tfrom C:\\x \x1B[2J\x07\x7F";
    query += '\0';
    query += "end \xC5\xBD";
    const ReceiverRun run = runReceiver(dir.path(), "4244 -timeout:5000", {query}, 4244);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.out, "select\\r\\nName\\tfrom C:\\\\x \\x1B[2J\\x07\\x7F\\x00end \xC5\xBD\n");
}

TEST(WpReceiver, EndsWithAStatusOnTimeoutAndBadUsage) {
    handbacktest::TempSocketDir dir;
    struct Case {
        const char* arguments;
        int status;
    } cases[] = {
        {"4243 -timeout:100", 1}, {"0", 2}, {"", 2}, {"x", 2}, {"4243 -count:0", 2},
    };
    for (const Case& c : cases) {
        const ReceiverRun run = runReceiver(dir.path(), c.arguments, {}, 4243);
        ASSERT_TRUE(WIFEXITED(run.status)) << c.arguments;
        EXPECT_EQ(WEXITSTATUS(run.status), c.status) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
    }
}

}  // namespace
