// A child process that waits to be killed, for tests that need a process of
// their own to act on (a method's target, or the target of calls that must be
// refused before they run, so that a broken check hits it and not the test
// runner), or one whose command line and counters a test compares. The child
// is killed and reaped with its guard, however the test leaves its scope.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

class IdleChild {
  public:
    struct Options {
        // The program to run (found on PATH) and its arguments, e.g.
        // {"sleep", "600"}; empty: the forked child only waits.
        std::vector<std::string> command;
        // The user, and the group of the same number, to run the program as
        // (needs root); -1 keeps this test's.
        uid_t uid = uid_t(-1);
    };

    IdleChild() : IdleChild(Options{}) {}
    explicit IdleChild(Options options) {
        if (options.command.empty()) {
            pid_ = ::fork();
            if (pid_ == 0) {
                for (;;) ::pause();
            }
            started_ = pid_ > 0;
            return;
        }
        std::vector<char*> argv;
        for (std::string& a : options.command) argv.push_back(a.data());
        argv.push_back(nullptr);
        // The pipe closes when exec succeeds, so the test never sees the
        // child as it was before (this test's command line, its user).
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            int err = 0;
            if (options.uid != uid_t(-1) &&
                (::setgid(options.uid) != 0 || ::setuid(options.uid) != 0)) {
                err = errno;
            } else {
                ::execvp(argv[0], argv.data());
                err = errno;
            }
            (void)!::write(fds[1], &err, sizeof err);
            ::_exit(127);
        }
        ::close(fds[1]);
        int err = 0;
        while (pid_ > 0 && ::read(fds[0], &err, sizeof err) < 0 && errno == EINTR) {
        }
        ::close(fds[0]);
        started_ = pid_ > 0 && err == 0 && asleep();
    }
    ~IdleChild() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    IdleChild(const IdleChild&) = delete;
    IdleChild& operator=(const IdleChild&) = delete;

    // Whether the child runs; with a command, whether the program started
    // and has gone to sleep, so that its memory and counters hold still.
    bool started() const { return started_; }
    pid_t processId() const { return pid_; }
    std::string pid() const { return std::to_string(pid_); }
    // Whether it has neither ended nor been killed.
    bool alive() const {
        const char s = state();
        return s != 0 && s != 'Z' && s != 'X';
    }

  private:
    // Its state letter in /proc/PID/stat; 0 when it is gone.
    char state() const {
        std::ifstream in("/proc/" + pid() + "/stat");
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        return close == std::string::npos || close + 2 >= text.size() ? 0 : text[close + 2];
    }
    bool asleep() const {
        for (int i = 0; i < 5000; ++i) {
            const char s = state();
            if (s == 'S') return true;
            if (s == 0 || s == 'Z') return false;
            ::usleep(1000);
        }
        return false;
    }

    pid_t pid_ = -1;
    bool started_ = false;
};

}  // namespace testsupport
