// Launcher for replay_server.py, the WinRM replay server the WS-Management
// client tests talk to, and for other replay scripts of the same protocol.
// Namespace wbem::test holds helpers shared by tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wbem::test {

// Starts the replay server on 127.0.0.1 (a port the kernel picks) with the
// shared recordings, and stops it again on destruction. The server also stops
// by itself when this object's end of its stdin closes, so a crashed test
// leaves nothing running. Construction throws std::runtime_error with the
// reason when the server does not come up within 15 s.
class ReplayServer {
  public:
    struct Options {
        // Extra arguments for the script, e.g. {"--tls", "--user", "u", "--password", "p"}.
        std::vector<std::string> args;
        // Pass --log with a temporary file that logLines() reads.
        bool log = false;
    };
    // Another replay script of the same launch protocol (prints "PORT <n>",
    // with --tls "CERT <path>"; stops when its stdin closes) and the folder
    // passed to it as --fixtures.
    struct Script {
        std::string path;
        std::string fixtures;
    };

    explicit ReplayServer(Options options);
    ReplayServer(Options options, Script script);
    explicit ReplayServer(std::vector<std::string> args = {});
    ~ReplayServer();
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    // False, with the reason, when python3 or the recordings are missing;
    // tests GTEST_SKIP() with that reason.
    static bool available(std::string* reason);
    // The same for --negotiate, which also needs python3-gssapi and gss-ntlmssp.
    static bool negotiateAvailable(std::string* reason);

    // A file of the hand-made fixtures beside the script, e.g.
    // "requests/enumerate_wql.xml".
    static std::string fixturePath(std::string_view relative);

    std::uint16_t port() const { return port_; }
    // The CA certificate that signed the server's certificate (with --tls), else "".
    const std::string& caCertPath() const { return caCert_; }
    // e.g. "https://127.0.0.1:PORT/wsman" ("[::1]" with --bind ::1).
    std::string url(std::string_view scheme = "http") const;
    // One entry per request the server has seen so far (needs Options::log).
    std::vector<std::string> logLines() const;
    pid_t pid() const { return pid_; }

  private:
    void start(const std::vector<std::string>& args, const std::string& script,
               const std::string& fixtures);
    void stop();

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    std::uint16_t port_ = 0;
    std::string caCert_;
    std::string host_ = "127.0.0.1";
    std::string logPath_;
};

}  // namespace wbem::test
