// Where wql's result goes when -out: names a file. A regular file gets its
// new contents only when the whole run succeeded (a failed query, a usage
// error or an unreachable host leave it as it was), the way
// files::ReplaceContents gives them: through a new file beside it renamed
// into place, or rewritten in place where a new file would lose something,
// keeping links, owner and mode; a read-only file is refused. What is no
// regular file (/dev/stdout, /dev/tty, a FIFO) is written directly, as is
// the file standard output or error already writes to (/dev/stdout
// redirected to a file appends where the shell said).
#pragma once

#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "fd_streambuf.h"
#include "files/replace_file.h"

namespace cli {

class OutputFile {
  public:
    // Throws std::runtime_error "cannot write PATH: reason".
    explicit OutputFile(std::string path);
    ~OutputFile();  // drops the new contents unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return stream_; }
    // The output is a terminal (-out:/dev/tty), which must not get control characters.
    bool isTerminal() const { return terminal_; }
    // "cannot write PATH", with the system's reason when a write failed.
    std::string failure() const;
    // Writes out what is left and puts the new contents in place. Throws
    // std::runtime_error "cannot write PATH: reason".
    void commit();

  private:
    enum class Way { Direct, NewFile, InPlace };
    [[noreturn]] void cannotWrite(int error) const;

    std::string path_;
    files::TargetFile target_;
    Way way_ = Way::NewFile;
    int fd_ = -1;
    std::string temp_;  // NewFile: the new file beside the target
    std::unique_ptr<FdStreamBuf> fdBuffer_;
    std::stringbuf memory_;  // InPlace: the contents until commit
    std::ostream stream_{nullptr};
    bool terminal_ = false;
    bool committed_ = false;
};

// Whether two paths name the same existing file (device and inode).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace cli
