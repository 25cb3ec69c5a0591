#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace cli {

namespace {

[[noreturn]] void cannotWrite(const std::string& path, int error) {
    throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        stream_.open(path_, std::ios::binary | std::ios::trunc);
        if (!stream_) cannotWrite(path_, errno);
        return;
    }
    std::string temp = path_ + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) cannotWrite(path_, errno);
    // The new file gets the old one's mode, or what a plain create would give.
    mode_t mode = exists ? (st.st_mode & 07777) : 0;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);
    temp_ = temp;
    stream_.open(temp_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        const int error = errno;
        ::unlink(temp_.c_str());
        cannotWrite(path_, error);
    }
}

OutputFile::~OutputFile() {
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

void OutputFile::commit() {
    errno = 0;
    stream_.flush();
    if (!stream_) cannotWrite(path_, errno ? errno : EIO);
    stream_.close();
    if (temp_.empty()) return;
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) cannotWrite(path_, errno);
    committed_ = true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace cli
