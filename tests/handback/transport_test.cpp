// The sender and the listener over real sockets: delivery, the time limit
// when the caller does not take the message, no caller at all, a caller of
// another user, and what the listener refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "handback/listener.h"
#include "handback/message.h"
#include "handback/sender.h"
#include "handback/socket_name.h"
#include "temp_socket_dir.h"

namespace {

using namespace std::chrono_literals;
using handback::HandBackListener;
using handback::SendOutcome;
using Clock = std::chrono::steady_clock;

struct Timed {
    SendOutcome outcome;
    std::chrono::milliseconds elapsed;
};

Timed timedSend(const std::string& path, const std::string& query,
                std::chrono::milliseconds limit = handback::kSendLimit) {
    const auto start = Clock::now();
    const SendOutcome outcome = handback::SendHandBackTo(path, query, limit);
    return {outcome, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
}

// A client socket connected to path, or -1.
int connectRaw(const std::string& path, bool nonBlocking = false) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(HandBackTransport, DeliversTheQueryWithItsByteCount) {
    handbacktest::TempSocketDir dir;
    std::string error;
    auto listener = HandBackListener::ListenAt(dir.file("c.sock"), error);
    ASSERT_TRUE(listener) << error;
    struct Case {
        std::string query;
        uint32_t byteCount;
    } cases[] = {
        {"select Name from Foo", 21},
        {"", 1},
        {"\xC5\xBD\xC5\xA5", 5},                      // two letters, four bytes
        {"select Name\r\nfrom Foo", 22},              // line breaks go as they are
        {std::string(1 << 20, 'q'), (1u << 20) + 1},  // more than one socket buffer
    };
    for (const Case& c : cases) {
        std::optional<handback::ReceivedHandBack> got;
        std::string receiveError;
        std::thread caller([&] { got = listener->Receive(5s, receiveError); });
        const SendOutcome outcome = handback::SendHandBackTo(listener->path(), c.query);
        caller.join();
        EXPECT_EQ(outcome, SendOutcome::Delivered) << handback::OutcomeName(outcome);
        ASSERT_TRUE(got) << receiveError;
        EXPECT_EQ(got->dataItem, handback::kHandBackDataItem);
        EXPECT_EQ(got->byteCount, c.byteCount);
        EXPECT_EQ(got->query, c.query);
    }
}

TEST(HandBackTransport, GivesUpAtTheLimitWhenTheCallerDoesNotTakeIt) {
    enum class Caller { NeverAccepts, QueueFull, AcceptsNeverReads, ReadsNeverCloses };
    struct Case {
        const char* name;
        Caller caller;
        std::string query;
    } cases[] = {
        {"never accepts", Caller::NeverAccepts, "select Name from Foo"},
        {"queue of connections full", Caller::QueueFull, "select Name from Foo"},
        {"accepts, never reads", Caller::AcceptsNeverReads, std::string(4 << 20, 'q')},
        {"reads, never closes", Caller::ReadsNeverCloses, "select Name from Foo"},
    };
    const auto limit = 300ms;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handbacktest::TempSocketDir dir;
        std::string error;
        auto listener = HandBackListener::ListenAt(dir.file("c.sock"), error);
        ASSERT_TRUE(listener) << error;

        std::vector<int> queued;
        if (c.caller == Caller::QueueFull)
            for (int fd; queued.size() < 64 && (fd = connectRaw(listener->path(), true)) >= 0;)
                queued.push_back(fd);
        std::atomic<bool> done{false};
        std::thread caller;
        if (c.caller == Caller::AcceptsNeverReads || c.caller == Caller::ReadsNeverCloses)
            caller = std::thread([&] {
                const int fd = ::accept(listener->fd(), nullptr, nullptr);
                char buffer[4096];
                if (c.caller == Caller::ReadsNeverCloses)
                    for (size_t got = 0; got < c.query.size() + 13;) {
                        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                        if (n <= 0) break;
                        got += size_t(n);
                    }
                while (!done) std::this_thread::sleep_for(10ms);
                ::close(fd);
            });

        const Timed sent = timedSend(listener->path(), c.query, limit);
        done = true;
        if (caller.joinable()) caller.join();
        for (int fd : queued) ::close(fd);
        EXPECT_EQ(sent.outcome, SendOutcome::TimedOut) << handback::OutcomeName(sent.outcome);
        EXPECT_GE(sent.elapsed, limit);
        EXPECT_LT(sent.elapsed, 3000ms);
    }
}

TEST(HandBackTransport, WithoutACallerReturnsAtOnce) {
    handbacktest::TempSocketDir dir;
    std::ofstream(dir.file("file.sock")) << "not a socket";
    // A name bound by a process that never listened, as after a crash.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, dir.file("stale.sock").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    struct Case {
        std::string path;
        SendOutcome outcome;
    } cases[] = {
        {dir.file("missing.sock"), SendOutcome::NoCaller},
        {dir.file("no-folder/c.sock"), SendOutcome::NoCaller},
        {dir.file("file.sock"), SendOutcome::NoCaller},
        {dir.file("stale.sock"), SendOutcome::NoCaller},
        {dir.file(std::string(120, 'n')), SendOutcome::Failed},  // too long for a socket name
    };
    for (const Case& c : cases) {
        const Timed sent = timedSend(c.path, "select Name from Foo");
        EXPECT_EQ(sent.outcome, c.outcome) << c.path << ": " << handback::OutcomeName(sent.outcome);
        EXPECT_LT(sent.elapsed, 500ms) << c.path;
    }
    ::close(stale);
    EXPECT_EQ(handback::SendHandBack(0, "select Name from Foo"), SendOutcome::NoCaller);
}

TEST(HandBackTransport, FindsTheCallerByItsNumberInTheRuntimeFolderOrTheFallback) {
    handbacktest::TempSocketDir dir;
    const int32_t caller = 100000 + int32_t(::getpid() % 100000);  // unique on this machine
    for (const char* runtimeDir : {dir.path().c_str(), static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(runtimeDir ? "XDG_RUNTIME_DIR set" : "XDG_RUNTIME_DIR unset");
        ScopedEnv env("XDG_RUNTIME_DIR", runtimeDir);
        std::string error;
        auto listener = HandBackListener::Listen(caller, error);
        ASSERT_TRUE(listener) << error;
        const std::string folder = runtimeDir ? dir.path() : handback::FallbackFolder(::geteuid());
        EXPECT_EQ(listener->path(), folder + "/cimscope-wp-" + std::to_string(caller) + ".sock");

        std::optional<handback::ReceivedHandBack> got;
        std::thread receiver([&] { got = listener->Receive(5s, error); });
        EXPECT_EQ(handback::SendHandBack(caller, "select Name from Foo"), SendOutcome::Delivered);
        receiver.join();
        ASSERT_TRUE(got) << error;
        EXPECT_EQ(got->query, "select Name from Foo");
    }
}

// Only a caller of the same user gets the query. Needs root to run a
// listener as another user.
TEST(HandBackTransport, SendsNothingToAListenerOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
    handbacktest::TempSocketDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
    const std::string path = dir.file("c.sock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other user's listener: exit 0 when no message reached it.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        std::string error;
        auto listener = HandBackListener::ListenAt(path, error);
        if (!listener) ::_exit(4);
        (void)!::write(ready[1], "r", 1);
        ::_exit(listener->Receive(5s, error) ? 1 : 0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other user's listener did not start";
    ::close(ready[0]);
    EXPECT_EQ(handback::SendHandBackTo(path, "select Password from Secrets"),
              SendOutcome::ForeignCaller);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other user's listener received the query";
}

// A bad peer never costs the real hand-back: whatever it sends, or does not
// send, the query that follows it is taken within the sender's limit, and
// the bad connection is dropped with a note.
TEST(HandBackListenerTest, ABadPeerNeverCostsTheRealHandBack) {
    handbacktest::TempSocketDir dir;
    std::string error;
    auto listener = HandBackListener::ListenAt(dir.file("c.sock"), error);
    ASSERT_TRUE(listener) << error;
    std::vector<std::string> notes;
    listener->SetNotes([&](const std::string& why) { notes.push_back(why); });
    const std::string item("\x5B\xA3\x01\x00\x00\x00\x00\x00", 8);
    struct Case {
        const char* name;
        std::string bytes;  // what the peer sends, then it stays connected
        bool closes;        // it also ends its side
        const char* note;   // part of the note, or "" when it is still pending
    } cases[] = {
        {"silent", "", false, ""},
        {"garbage", "GET / HTTP/1.1\r\n\r\n", false, "data item"},
        {"other data item", std::string("\x5C\xA3\x01\x00\x00\x00\x00\x00\x02\x00\x00\x00x\0", 14),
         false, "data item"},
        {"count 0", item + std::string(4, '\0'), false, "byte count"},
        {"oversized", item + std::string("\xFF\xFF\xFF\x7F", 4), false, "byte count"},
        {"no zero byte", item + std::string("\x02\x00\x00\x00xy", 6), false, "zero byte"},
        {"partial", item + std::string("\x09\x00\x00\x00xy", 6), false, ""},
        {"cut short", item + std::string("\x09\x00\x00\x00xy", 6), true, "closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notes.clear();
        const int bad = connectRaw(listener->path());
        ASSERT_GE(bad, 0);
        if (!c.bytes.empty()) {
            ASSERT_EQ(::send(bad, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
                      ssize_t(c.bytes.size()));
        }
        if (c.closes) ::shutdown(bad, SHUT_WR);
        std::optional<handback::ReceivedHandBack> got;
        std::string receiveError;
        std::thread caller([&] { got = listener->Receive(10s, receiveError); });
        std::this_thread::sleep_for(50ms);  // the bad peer is in first
        const Timed sent = timedSend(listener->path(), "select Name from Good");
        caller.join();
        EXPECT_EQ(sent.outcome, SendOutcome::Delivered) << handback::OutcomeName(sent.outcome);
        ASSERT_TRUE(got) << receiveError;
        EXPECT_EQ(got->query, "select Name from Good");
        if (*c.note) {
            // Notes of earlier peers closed since may come too.
            EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& n) {
                return n.find(c.note) != std::string::npos;
            })) << testing::PrintToString(notes);
        }
        ::close(bad);
    }
    // What is left pending is dropped at its time limit, with a note.
    notes.clear();
    const int silent = connectRaw(listener->path());
    EXPECT_FALSE(listener->Receive(HandBackListener::kMessageTime + 500ms, error));
    EXPECT_NE(error.find("no hand-back"), std::string::npos) << error;
    EXPECT_FALSE(notes.empty());
    ::close(silent);
}

TEST(HandBackListenerTest, APeerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    handbacktest::TempSocketDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    std::string error;
    auto listener = HandBackListener::ListenAt(dir.file("c.sock"), error);
    ASSERT_TRUE(listener) << error;
    struct stat st {};
    ASSERT_EQ(::stat(listener->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::chmod(listener->path().c_str(), 0666), 0);  // so that the stranger can connect
    std::vector<std::string> notes;
    listener->SetNotes([&](const std::string& why) { notes.push_back(why); });
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        const auto message = handback::EncodeHandBack("select Password from Secrets");
        const int fd = connectRaw(dir.file("c.sock"));
        if (fd < 0) ::_exit(4);
        (void)!::send(fd, message->data(), message->size(), MSG_NOSIGNAL);
        char byte;
        (void)!::recv(fd, &byte, 1, 0);  // until the listener closes
        ::_exit(0);
    }
    EXPECT_FALSE(listener->Receive(2s, error));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes[0].find("another user"), std::string::npos) << notes[0];
}

TEST(HandBackListenerTest, TakesOverAStaleNameButNotALiveOne) {
    handbacktest::TempSocketDir dir;
    const std::string path = dir.file("c.sock");
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);  // the name stays behind

    std::string error;
    auto first = HandBackListener::ListenAt(path, error);
    ASSERT_TRUE(first) << error;
    EXPECT_FALSE(HandBackListener::ListenAt(path, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    first.reset();
    struct stat st {};
    EXPECT_NE(::lstat(path.c_str(), &st), 0) << "the name outlived its listener";

    std::ofstream(dir.file("plain")) << "x";
    EXPECT_FALSE(HandBackListener::ListenAt(dir.file("plain"), error)) << "a file was replaced";
}

TEST(HandBackListenerTest, UsesOnlyAPrivateFallbackFolder) {
    handbacktest::TempSocketDir dir;
    const std::string open = dir.file("open"), link = dir.file("link"), file = dir.file("file");
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::symlink(dir.path().c_str(), link.c_str()), 0);
    std::ofstream(file) << "x";
    struct Case {
        std::string folder;
        bool ok;
    } cases[] = {{dir.file("new"), true}, {open, false}, {link, false}, {file, false}};
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(handback::EnsurePrivateFolder(c.folder, error), c.ok)
            << c.folder << ": " << error;
    }
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// $XDG_RUNTIME_DIR is held to the fallback folder's rule: a listener refuses
// one that others may write to or that another user owns.
TEST(HandBackListenerTest, RefusesARuntimeFolderThatIsNotPrivate) {
    handbacktest::TempSocketDir dir;
    const std::string open = dir.file("open"), foreign = dir.file("foreign");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    const bool canGiveAway = ::geteuid() == 0 && ::chown(foreign.c_str(), 65534, 65534) == 0;
    for (const std::string& folder : {open, foreign}) {
        if (folder == foreign && !canGiveAway) continue;  // only root can make one
        SCOPED_TRACE(folder);
        ScopedEnv env("XDG_RUNTIME_DIR", folder.c_str());
        std::string error;
        EXPECT_FALSE(HandBackListener::Listen(4246, error));
        EXPECT_NE(error.find("not a private folder"), std::string::npos) << error;
        struct stat st {};
        EXPECT_NE(::lstat((folder + "/cimscope-wp-4246.sock").c_str(), &st), 0);
    }
}

}  // namespace
