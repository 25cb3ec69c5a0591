#include "process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace wbem {

std::optional<std::vector<std::string>> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const size_t end = line.find('\'', i + 1);
            if (end == std::string_view::npos) return std::nullopt;
            word.append(line.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) return std::nullopt;
                if (line[i] == '"') break;
                // Inside double quotes a backslash escapes only what a shell lets it.
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '$' ||
                     line[i + 1] == '`'))
                    ++i;
                word += line[i];
            }
        } else if (c == '\\') {
            if (++i >= line.size()) return std::nullopt;
            word += line[i];
        } else {
            word += c;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

namespace {

// argv[0] as exec will find it, or the errno that says why not.
std::string resolveProgram(const std::string& name, int& error) {
    error = 0;
    if (name.find('/') != std::string::npos) return name;  // exec reports on it
    const char* path = std::getenv("PATH");
    std::string_view dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    int firstError = ENOENT;
    while (true) {
        const size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            firstError = EACCES;
        }
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    error = firstError;
    return {};
}

bool readAll(int fd, void* buf, size_t n) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        const ssize_t got = ::read(fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= size_t(got);
    }
    return true;
}

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void execInChild(const char* program, char* const* argv, const char* directory,
                              int nullFd, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    dup2(nullFd, STDIN_FILENO);
    dup2(nullFd, STDOUT_FILENO);
    dup2(nullFd, STDERR_FILENO);
    int error = 0;
    if (*directory && chdir(directory) != 0) error = errno;
    if (!error) {
        execve(program, argv, environ);
        error = errno;
    }
    (void)!write(reportFd, &error, sizeof error);
    _exit(127);
}

}  // namespace

StartOutcome startDetached(const std::vector<std::string>& argv, const std::string& directory) {
    StartOutcome outcome;
    if (argv.empty()) {
        outcome.error = EINVAL;
        return outcome;
    }
    const std::string program = resolveProgram(argv[0], outcome.error);
    if (outcome.error) return outcome;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // The grandchild's pid comes back on one pipe; exec closes the other, or
    // the failing step's errno arrives on it.
    int pidPipe[2], errorPipe[2];
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullFd < 0 || ::pipe2(pidPipe, O_CLOEXEC) != 0) {
        outcome.error = errno;
        if (nullFd >= 0) ::close(nullFd);
        return outcome;
    }
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        outcome.error = errno;
        for (int fd : {nullFd, pidPipe[0], pidPipe[1]}) ::close(fd);
        return outcome;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // A new session, and a grandchild, so that the program is nobody's child here.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0)
            execInChild(program.c_str(), args.data(), directory.c_str(), nullFd, errorPipe[1]);
        (void)!write(pidPipe[1], &grandchild, sizeof grandchild);
        _exit(grandchild < 0 ? 1 : 0);
    }
    const int forkError = child < 0 ? errno : 0;
    for (int fd : {nullFd, pidPipe[1], errorPipe[1]}) ::close(fd);
    pid_t grandchild = -1;
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (!readAll(pidPipe[0], &grandchild, sizeof grandchild)) grandchild = -1;
    }
    int execError = 0;
    const bool failed = grandchild > 0 && readAll(errorPipe[0], &execError, sizeof execError);
    ::close(pidPipe[0]);
    ::close(errorPipe[0]);
    if (forkError || grandchild <= 0) {
        outcome.error = forkError ? forkError : EAGAIN;
    } else if (failed) {
        outcome.error = execError ? execError : EIO;
    } else {
        outcome.pid = grandchild;
    }
    return outcome;
}

}  // namespace wbem
