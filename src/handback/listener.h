// The calling program's side of the hand-back: listens under its "-wp:"
// number and takes one message at a time. Calling programs can copy its way
// of working; the tests and the wp_receiver tool use it as it is.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace handback {

struct ReceivedHandBack {
    uint64_t dataItem = 0;
    uint32_t byteCount = 0;  // as sent: the query's bytes plus the zero byte
    std::string query;       // without the zero byte
};

class HandBackListener {
  public:
    // Listens at SocketPath(caller); makes the fallback folder (mode 0700)
    // when it is the one in use, and refuses it, or an $XDG_RUNTIME_DIR, that
    // another user owns or others may write to. The socket is made 0600. A socket left behind by a
    // listener that died is replaced; one that somebody still listens on is not.
    static std::unique_ptr<HandBackListener> Listen(int32_t caller, std::string& error);
    // Listens at `path`, whose folder must exist.
    static std::unique_ptr<HandBackListener> ListenAt(const std::string& path, std::string& error);

    HandBackListener(const HandBackListener&) = delete;
    HandBackListener& operator=(const HandBackListener&) = delete;
    ~HandBackListener();  // stops listening and removes the socket's name

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    // The next query handed back within `timeout`; nullopt with `error` set
    // when none came. Several senders are served at once, each with a few
    // seconds to send its message, so that a silent or slow peer cannot hold
    // up a real hand-back; a peer of another user, a stream that is no
    // hand-back or one cut short is dropped with a note (see SetNotes) and
    // listening goes on. Closing the connection tells the sender its
    // message was taken.
    std::optional<ReceivedHandBack> Receive(std::chrono::milliseconds timeout, std::string& error);

    // Where the notes about dropped connections go; standard error by default.
    void SetNotes(std::function<void(const std::string&)> notes) { notes_ = std::move(notes); }

    // How long one connection may take to send its message.
    static constexpr std::chrono::milliseconds kMessageTime{3000};
    // Connections read at once; one more drops the oldest.
    static constexpr size_t kMaxPending = 32;

  private:
    struct Pending {
        int fd;
        std::string bytes;
        std::chrono::steady_clock::time_point deadline;
    };

    HandBackListener(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    void drop(size_t index, const std::string& why);
    void note(const std::string& why) const;
    // Reads what connection `index` has: a whole good message is returned
    // (and the connection closed), a bad one dropped.
    std::optional<ReceivedHandBack> readFrom(size_t index);

    int fd_;
    std::string path_;
    std::vector<Pending> pending_;
    std::function<void(const std::string&)> notes_;
};

// Makes `folder` with mode 0700 unless it exists; true when it is then a
// real folder (not a link) of the effective user that no one else can write.
bool EnsurePrivateFolder(const std::string& folder, std::string& error);

}  // namespace handback
