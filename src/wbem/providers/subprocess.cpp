#include "subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace wbem {

ProgramRun runProgramOutcome(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                             bool errorsToo, size_t maxOutput) {
    ProgramRun run;
    if (argv.empty()) return run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (errorsToo)
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return run;
    }
    run.started = true;

    std::string& out = run.output;
    bool ok = true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ok = false;
            run.timedOut = true;
            break;
        }
        struct pollfd p {
            fds[0], POLLIN, 0
        };
        const int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            run.timedOut = n == 0;
            break;
        }
        const ssize_t got = read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (out.size() + static_cast<size_t>(got) > maxOutput) {
            ok = false;
            break;
        }
        out.append(buf, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (!ok) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (ok && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

std::optional<std::string> runProgram(const std::vector<std::string>& argv,
                                      std::chrono::milliseconds limit, size_t maxOutput) {
    ProgramRun run = runProgramOutcome(argv, limit, false, maxOutput);
    if (run.exitCode != 0) return std::nullopt;
    return std::move(run.output);
}

}  // namespace wbem
