// A child process that waits to be killed, for tests that need a process of
// their own to act on (a method's target, or the target of calls that must be
// refused before they run, so that a broken check hits it and not the test
// runner). The child is killed and reaped with its guard, however the test
// leaves its scope.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class IdleChild {
  public:
    IdleChild() : pid_(::fork()) {
        if (pid_ == 0) {
            for (;;) ::pause();
        }
    }
    ~IdleChild() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    IdleChild(const IdleChild&) = delete;
    IdleChild& operator=(const IdleChild&) = delete;

    std::string pid() const { return std::to_string(pid_); }

  private:
    pid_t pid_;
};

}  // namespace testsupport
