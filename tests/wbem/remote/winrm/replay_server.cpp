#include "replay_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#ifndef CIMSCOPE_WINRM_REPLAY
#error "CIMSCOPE_WINRM_REPLAY must name replay_server.py (see replay_server.cmake)"
#endif
#ifndef CIMSCOPE_FIXTURES
#error "CIMSCOPE_FIXTURES must name the shared fixtures folder"
#endif

extern char** environ;

namespace wbem::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr auto kStartDeadline = std::chrono::seconds(15);
constexpr auto kStopDeadline = std::chrono::seconds(5);

std::string wsmanFixtures() { return std::string(CIMSCOPE_FIXTURES) + "/wsman"; }

bool readable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

bool ReplayServer::available(std::string* reason) {
    std::string why;
    if (::access(kPython, X_OK) != 0)
        why = std::string(kPython) + " is not installed";
    else if (!readable(CIMSCOPE_WINRM_REPLAY))
        why = std::string("replay server script missing: ") + CIMSCOPE_WINRM_REPLAY;
    else if (!readable(wsmanFixtures() + "/server2016/01_Res_Hello.xml"))
        why = "WS-Management recordings missing in " + wsmanFixtures();
    if (reason) *reason = why;
    return why.empty();
}

bool ReplayServer::negotiateAvailable(std::string* reason) {
    if (!available(reason)) return false;
    std::string why;
    if (!readable("/usr/lib/python3/dist-packages/gssapi/__init__.py"))
        why = "python3-gssapi is not installed (scripts/setup installs it)";
    else if (!readable("/etc/gss/mech.d/mech.ntlmssp.conf"))
        why = "gss-ntlmssp is not installed (scripts/setup installs it)";
    if (reason) *reason = why;
    return why.empty();
}

std::string ReplayServer::fixturePath(std::string_view relative) {
    std::string script = CIMSCOPE_WINRM_REPLAY;
    return script.substr(0, script.rfind('/') + 1) + "fixtures/" + std::string(relative);
}

ReplayServer::ReplayServer(std::vector<std::string> args)
    : ReplayServer(Options{std::move(args)}) {}

ReplayServer::ReplayServer(Options options) : ReplayServer(std::move(options), Script{"", ""}) {}

ReplayServer::ReplayServer(Options options, Script script) {
    std::vector<std::string> args = std::move(options.args);
    if (options.log) {
        char path[] = "/tmp/cimscope-replay-log-XXXXXX";
        int fd = ::mkstemp(path);
        if (fd < 0) throw std::runtime_error("replay server: cannot create a log file");
        ::close(fd);
        logPath_ = path;
        args.push_back("--log");
        args.push_back(logPath_);
    }
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--bind" && args[i + 1] == "::1") host_ = "[::1]";
    try {
        start(args, script.path, script.fixtures);
    } catch (...) {
        stop();
        throw;
    }
}

ReplayServer::~ReplayServer() { stop(); }

void ReplayServer::start(const std::vector<std::string>& extra, const std::string& script,
                         const std::string& fixtures) {
    std::string why;
    if (script.empty() && !available(&why))
        throw std::runtime_error("replay server unavailable: " + why);

    std::vector<std::string> argv = {kPython, script.empty() ? CIMSCOPE_WINRM_REPLAY : script,
                                     "--fixtures", fixtures.empty() ? wsmanFixtures() : fixtures};
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("replay server: pipe failed");
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("replay server: pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    int rc = ::posix_spawn(&pid_, kPython, &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    stdoutFd_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error(std::string("replay server: posix_spawn failed: ") +
                                 std::strerror(rc));
    }

    // Read the start-up lines: "PORT <n>", then with --tls "CERT <path>".
    const bool tls = std::find(extra.begin(), extra.end(), "--tls") != extra.end();
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    std::string buffer;
    while (port_ == 0 || (tls && caCert_.empty())) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("replay server did not print its port within 15 s");
        pollfd p{stdoutFd_, POLLIN, 0};
        int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) continue;
        char chunk[512];
        ssize_t got = ::read(stdoutFd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            throw std::runtime_error(
                "replay server exited before printing its port (see its messages on stderr)");
        buffer.append(chunk, static_cast<size_t>(got));
        for (size_t nl; (nl = buffer.find('\n')) != std::string::npos; buffer.erase(0, nl + 1)) {
            std::string line = buffer.substr(0, nl);
            if (line.rfind("PORT ", 0) == 0) {
                int value = std::atoi(line.c_str() + 5);
                if (value <= 0 || value > 65535)
                    throw std::runtime_error("replay server printed a bad port: " + line);
                port_ = static_cast<std::uint16_t>(value);
            } else if (line.rfind("CERT ", 0) == 0) {
                caCert_ = line.substr(5);
            } else {
                throw std::runtime_error("replay server printed an unexpected line: " + line);
            }
        }
    }
}

void ReplayServer::stop() {
    closeFd(stdinFd_);  // the server exits when its stdin closes ...
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);  // ... and on SIGTERM, whichever comes first
        const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    closeFd(stdoutFd_);
    if (!logPath_.empty()) {
        ::unlink(logPath_.c_str());
        logPath_.clear();
    }
}

std::string ReplayServer::url(std::string_view scheme) const {
    return std::string(scheme) + "://" + host_ + ":" + std::to_string(port_) + "/wsman";
}

std::vector<std::string> ReplayServer::logLines() const {
    if (logPath_.empty()) throw std::logic_error("ReplayServer::logLines needs Options::log");
    std::vector<std::string> lines;
    std::ifstream in(logPath_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace wbem::test
