#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace cli {

namespace {

// The descriptor among standard output and error that writes to the file
// `st` describes, or -1.
int standardStreamFor(const struct stat& st) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat open {};
        if (::fstat(fd, &open) == 0 && open.st_dev == st.st_dev && open.st_ino == st.st_ino)
            return fd;
    }
    return -1;
}

}  // namespace

void OutputFile::cannotWrite(int error) const {
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(error));
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (const int error = files::LookAt(path_, target_)) cannotWrite(error);
    const bool exists = target_.kind != files::TargetFile::Kind::New;
    const int standard = exists ? standardStreamFor(target_.st) : -1;
    if (standard >= 0) {
        way_ = Way::Direct;
        fd_ = ::fcntl(standard, F_DUPFD_CLOEXEC, 0);
    } else if (target_.kind == files::TargetFile::Kind::Other) {
        way_ = Way::Direct;
        fd_ = ::open(target_.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    } else if (const int error = files::MayWrite(target_)) {
        cannotWrite(error);
    } else if (files::NeedsRewriteInPlace(target_)) {
        way_ = Way::InPlace;
    } else {
        fd_ = files::CreateTempBeside(target_, temp_);
        // A folder that takes no new file, or an owner a new file cannot
        // have: the file itself is rewritten once the run succeeded.
        if (fd_ < 0 && exists && (errno == EACCES || errno == EPERM))
            way_ = Way::InPlace;
        else if (fd_ < 0)
            cannotWrite(errno);
    }
    if (way_ == Way::InPlace) {
        stream_.rdbuf(&memory_);
        return;
    }
    if (fd_ < 0) cannotWrite(errno);
    terminal_ = way_ == Way::Direct && ::isatty(fd_) == 1;
    fdBuffer_ = std::make_unique<FdStreamBuf>(fd_);
    stream_.rdbuf(fdBuffer_.get());
}

OutputFile::~OutputFile() {
    if (committed_ || fd_ < 0) return;
    ::close(fd_);
    if (way_ == Way::NewFile) ::unlink(temp_.c_str());
}

std::string OutputFile::failure() const {
    const int error = fdBuffer_ ? fdBuffer_->error() : 0;
    return "cannot write " + path_ + (error ? std::string(": ") + std::strerror(error) : "");
}

void OutputFile::commit() {
    stream_.flush();
    if (fdBuffer_ && fdBuffer_->error()) cannotWrite(fdBuffer_->error());
    int error = 0;
    switch (way_) {
        case Way::Direct:
            if (::close(fd_) != 0) error = errno;
            break;
        case Way::NewFile:
            error = files::PutInPlace(fd_, temp_, target_);
            break;
        case Way::InPlace:
            error = files::RewriteInPlace(target_, memory_.view());
            break;
    }
    fd_ = -1;
    committed_ = true;
    if (error) cannotWrite(error);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace cli
