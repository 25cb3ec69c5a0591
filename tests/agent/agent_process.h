// The built cimscope-agent program, run as a child process on 127.0.0.1 with
// a port of its own choosing, a fresh users file and state folder; and the
// running of other programs (wbemcli, the agent's --add-user) with their
// output caught, each bounded in time.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace agenttest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline const char* agentProgram() { return CIMSCOPE_AGENT_PROGRAM; }

// A folder of its own under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/cimscope-agent-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits for the child until `deadline`; then SIGKILL. Returns the wait status.
inline int reap(pid_t pid, Clock::time_point deadline, bool* killed = nullptr) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return status;
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            if (killed) *killed = true;
            return status;
        }
        std::this_thread::sleep_for(20ms);
    }
}

// Starts `argv` with stdin from `stdinFile` (or /dev/null), stdout into the
// pipe `stdoutPipe` or the file `stdoutFile`, stderr into `stderrFile`. The
// child is killed when the test process ends, even by a crash, so that no
// agent outlives its test. Returns -1 on failure.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& stdinFile,
                   int stdoutPipe, const std::string& stdoutFile, const std::string& stderrFile) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const char* in = stdinFile.empty() ? "/dev/null" : stdinFile.c_str();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    // The child: only calls that are safe after fork until exec.
    const int inFd = ::open(in, O_RDONLY);
    const int outFd = stdoutPipe >= 0
                          ? stdoutPipe
                          : ::open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (inFd < 0 || outFd < 0 || errFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
        ::dup2(errFd, 2) < 0 || ::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127);
    ::execv(args[0], args.data());
    ::_exit(127);
}

struct ProgramResult {
    int exitCode = -1;  // -1: did not start, was killed or ended by a signal
    std::string out, err;
    bool timedOut = false;
};

// Runs a program to its end (killed after `limit`), its standard input
// `input`, its output caught through files in `scratch`.
inline ProgramResult runProgram(const std::vector<std::string>& argv, const std::string& scratch,
                                const std::string& input = {}, Clock::duration limit = 60s) {
    ProgramResult result;
    const std::string in = scratch + "/run.in", out = scratch + "/run.out",
                      err = scratch + "/run.err";
    std::ofstream(in, std::ios::binary) << input;
    const pid_t pid = spawn(argv, in, -1, out, err);
    if (pid < 0) {
        result.err = "cannot start " + argv[0];
        return result;
    }
    const int status = reap(pid, Clock::now() + limit, &result.timedOut);
    if (WIFEXITED(status) && !result.timedOut) result.exitCode = WEXITSTATUS(status);
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
}

// One running agent. The constructor starts it and waits (bounded) for the
// lines that name its address and certificate; ok() says whether it did, and
// error() why not. The destructor stops it.
class AgentProcess {
  public:
    static constexpr const char* kUser = "tester";
    static constexpr const char* kPassword = "Corr3ct horse; battery:staple";

    struct Options {
        bool insecureHttp = false;
        std::vector<std::string> extraArgs;  // e.g. {"--request-time", "4"}
    };

    AgentProcess() : AgentProcess(Options()) {}
    explicit AgentProcess(const Options& options) {
        if (dir_.path().empty()) {
            error_ = "cannot make a temporary folder";
            return;
        }
        usersFile_ = dir_.path() + "/users";
        stderrFile_ = dir_.path() + "/agent.err";
        // The users file is made the way an administrator makes it.
        const auto added = runProgram({agentProgram(), "--users", usersFile_, "--add-user", kUser},
                                      dir_.path(), std::string(kPassword) + "\n");
        if (added.exitCode != 0) {
            error_ = "--add-user failed: " + added.err;
            return;
        }
        std::vector<std::string> argv = {
            agentProgram(),         "--users",  usersFile_,   "--state",
            dir_.path() + "/state", "--listen", "127.0.0.1:0"};
        if (options.insecureHttp) argv.push_back("--insecure-http");
        argv.insert(argv.end(), options.extraArgs.begin(), options.extraArgs.end());
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error_ = "cannot make a pipe";
            return;
        }
        pid_ = spawn(argv, {}, fds[1], {}, stderrFile_);
        ::close(fds[1]);
        stdout_ = fds[0];
        if (pid_ < 0) {
            error_ = "cannot start " + std::string(agentProgram());
            return;
        }
        readAnnouncement(!options.insecureHttp);
    }

    ~AgentProcess() { stop(); }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }
    const std::string& certFile() const { return certFile_; }
    const std::string& fingerprint() const { return fingerprint_; }
    const std::string& scratch() const { return dir_.path(); }
    // What the agent wrote on standard error so far.
    std::string errText() const { return readFile(stderrFile_); }
    // Whether the process is still running; when it has ended, its exit is
    // kept for stop().
    bool alive() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
        ended(status, false);
        return false;
    }

    // SIGTERM, then up to 15 s for it to end (a sanitizer's leak check takes
    // a moment), then SIGKILL. Returns the exit code; -1 when it was killed,
    // ended by a signal or was not running.
    int stop() {
        if (pid_ <= 0) return exitCode_;
        ::kill(pid_, SIGTERM);
        bool killed = false;
        const int status = reap(pid_, Clock::now() + 15s, &killed);
        ended(status, killed);
        return exitCode_;
    }

  private:
    void ended(int status, bool killed) {
        pid_ = -1;
        if (stdout_ >= 0) ::close(stdout_);
        stdout_ = -1;
        exitCode_ = WIFEXITED(status) && !killed ? WEXITSTATUS(status) : -1;
    }

    // "cimscope-agent 0.1.0: serving https://127.0.0.1:PORT/cimom" and, with
    // TLS, "cimscope-agent: certificate FILE, SHA-256 fingerprint XX:...".
    void readAnnouncement(bool tls) {
        const auto deadline = Clock::now() + 60s;  // a first start makes its key
        std::string text;
        for (;;) {
            const bool haveServing = parseServing(text);
            if (haveServing && (!tls || parseCertificate(text))) return;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{stdout_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) {
                error_ = "the agent did not announce its address in time; its output: " + text +
                         "\nits errors: " + errText();
                return;
            }
            char buf[4096];
            const ssize_t n = ::read(stdout_, buf, sizeof buf);
            if (n <= 0) {
                error_ = "the agent ended before serving; its output: " + text +
                         "\nits errors: " + errText();
                return;
            }
            text.append(buf, size_t(n));
        }
    }

    bool parseServing(const std::string& text) {
        const std::string marker = "://127.0.0.1:";
        const size_t serving = text.find(": serving ");
        if (serving == std::string::npos) return false;
        const size_t at = text.find(marker, serving);
        const size_t end = text.find("/cimom\n", serving);
        if (at == std::string::npos || end == std::string::npos || end < at) return false;
        port_ = uint16_t(std::stoul(text.substr(at + marker.size(), end - at - marker.size())));
        return port_ != 0;
    }

    bool parseCertificate(const std::string& text) {
        const std::string marker = "cimscope-agent: certificate ";
        const std::string middle = ", SHA-256 fingerprint ";
        const size_t at = text.find(marker);
        if (at == std::string::npos) return false;
        const size_t mid = text.find(middle, at);
        const size_t end = text.find('\n', at);
        if (mid == std::string::npos || end == std::string::npos || end < mid) return false;
        certFile_ = text.substr(at + marker.size(), mid - at - marker.size());
        fingerprint_ = text.substr(mid + middle.size(), end - mid - middle.size());
        return true;
    }

    TempDir dir_;
    std::string usersFile_, stderrFile_, certFile_, fingerprint_, error_;
    pid_t pid_ = -1;
    int stdout_ = -1;
    int exitCode_ = -1;
    uint16_t port_ = 0;
};

// Sanitizer and crash reports in a program's error output.
inline bool hasSanitizerReport(const std::string& err) {
    for (const char* mark : {"AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer",
                             "runtime error:", "ThreadSanitizer"})
        if (err.find(mark) != std::string::npos) return true;
    return false;
}

// Stops the agent and checks that it was still up, ended cleanly on SIGTERM
// and reported nothing (a sanitizer report ends it with a nonzero code too).
inline void expectCleanStop(AgentProcess& agent) {
    EXPECT_TRUE(agent.alive()) << "the agent had ended: " << agent.errText();
    EXPECT_EQ(agent.stop(), 0) << agent.errText();
    EXPECT_FALSE(hasSanitizerReport(agent.errText())) << agent.errText();
}

}  // namespace agenttest
