// The calling program's side of the hand-back: listens under its "-wp:"
// number and takes one message at a time. Calling programs can copy its way
// of working; the tests and the wp_receiver tool use it as it is.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace handback {

struct ReceivedHandBack {
    uint64_t dataItem = 0;
    uint32_t byteCount = 0;  // as sent: the query's bytes plus the zero byte
    std::string query;       // without the zero byte
};

class HandBackListener {
  public:
    // Listens at SocketPath(caller); makes the fallback folder (mode 0700)
    // when it is the one in use, and refuses one that another user owns or
    // others may write to. A socket left behind by a listener that died is
    // replaced; one that somebody still listens on is not.
    static std::unique_ptr<HandBackListener> Listen(int32_t caller, std::string& error);
    // Listens at `path`, whose folder must exist.
    static std::unique_ptr<HandBackListener> ListenAt(const std::string& path, std::string& error);

    HandBackListener(const HandBackListener&) = delete;
    HandBackListener& operator=(const HandBackListener&) = delete;
    ~HandBackListener();  // stops listening and removes the socket's name

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    // Accepts one connection within `timeout`, reads one message (the same
    // time limit covers the reading), and closes the connection, which tells
    // the sender it was taken. nullopt with `error` set on a timeout or a
    // message that is not a hand-back.
    std::optional<ReceivedHandBack> Receive(std::chrono::milliseconds timeout, std::string& error);

  private:
    HandBackListener(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_;
    std::string path_;
};

// Makes `folder` with mode 0700 unless it exists; true when it is then a
// real folder (not a link) of the effective user that no one else can write.
bool EnsurePrivateFolder(const std::string& folder, std::string& error);

}  // namespace handback
