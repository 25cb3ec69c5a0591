// The wp_receiver program as a calling program runs it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
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
    std::string err;
};

// Starts the receiver with `arguments` under XDG_RUNTIME_DIR=folder; once its
// socket exists runs `first` with the socket's name, then sends each query,
// and collects what it printed.
ReceiverRun runReceiver(const std::string& folder, const std::string& arguments,
                        const std::vector<std::string>& queries, int32_t caller,
                        const std::function<void(const std::string&)>& first = {}) {
    const std::string errFile = folder + "/stderr.txt";
    const std::string command = "XDG_RUNTIME_DIR='" + folder + "' " WP_RECEIVER_PROGRAM " " +
                                arguments + " 2>'" + errFile + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (!pipe) return {-1, "", ""};
    const std::string socket = handback::SocketPathIn(folder, caller);
    if (!queries.empty() || first) {
        struct stat st {};
        for (int i = 0; i < 500 && (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)); ++i)
            std::this_thread::sleep_for(10ms);
    }
    if (first) first(socket);
    for (const std::string& query : queries)
        EXPECT_EQ(handback::SendHandBackTo(socket, query), handback::SendOutcome::Delivered);
    std::string out;
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    std::ifstream errText(errFile);
    return {status, out, std::string(std::istreambuf_iterator<char>(errText), {})};
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
    // CSI and NEL as C1 controls, then a no-break space, which stays.
    query +=
        "end \xC5\xBD \xC2\x9B"
        "2J \xC2\x85 \xC2\xA0";
    const ReceiverRun run = runReceiver(dir.path(), "4244 -timeout:5000", {query}, 4244);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.out,
              "select\\r\\nName\\tfrom C:\\\\x \\x1B[2J\\x07\\x7F\\x00end \xC5\xBD "
              "\\xC2\\x9B2J \\xC2\\x85 \xC2\xA0\n");
}

// A peer that sends what is no hand-back is dropped with a note; the
// receiver goes on and prints the real query that follows.
TEST(WpReceiver, KeepsListeningAfterABadPeer) {
    handbacktest::TempSocketDir dir;
    const ReceiverRun run = runReceiver(
        dir.path(), "4245 -timeout:10000", {"select Name from Good"}, 4245,
        [](const std::string& socket) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
            ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            const std::string garbage = "GET / HTTP/1.1\r\n\r\n";
            EXPECT_EQ(::send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL),
                      ssize_t(garbage.size()));
            ::close(fd);
        });
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.out, "select Name from Good\n");
    EXPECT_NE(run.err.find("wp_receiver: dropped a connection: not a query hand-back"),
              std::string::npos)
        << run.err;
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
