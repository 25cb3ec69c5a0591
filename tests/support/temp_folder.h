// What the file tests share: a fresh folder under the system's temporary
// folder, removed with its contents; reading and writing a file's bytes; a
// file size limit that fails writes as a full disk does; and permission
// checks that bind root too.
#pragma once

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "cimscope-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

    // The names of everything in the folder.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(path_))
            out.insert(e.path().filename().string());
        return out;
    }

  private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes every write past `bytes` in a file fail the way a full disk does, for
// as long as it lives. Works for root too, whom permissions do not stop.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

// For as long as it lives, the calling thread is bound by file permissions
// even as root (the tests run as root in CI): the capabilities that override
// them leave its effective set and come back at the end. Does nothing for
// other users, whom permissions bind anyway.
class PermissionsBindRoot {
  public:
    PermissionsBindRoot() {
        if (::geteuid() != 0) {
            ok_ = true;
            return;
        }
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        ok_ = ::syscall(SYS_capset, &header_, lowered) == 0;
        lowered_ = ok_;
    }
    ~PermissionsBindRoot() {
        if (lowered_) ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsBindRoot(const PermissionsBindRoot&) = delete;
    PermissionsBindRoot& operator=(const PermissionsBindRoot&) = delete;
    bool ok() const { return ok_; }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool ok_ = false;
    bool lowered_ = false;
};
