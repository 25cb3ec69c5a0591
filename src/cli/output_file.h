// Where wql's result goes when -out: names a file: a new file beside it that
// takes its place only when the whole run succeeded, so that a failed query,
// a usage error or an unreachable host leaves the old file as it was. A
// device, pipe or socket (/dev/stdout, a FIFO) is written directly.
#pragma once

#include <fstream>
#include <string>

namespace cli {

class OutputFile {
  public:
    // Throws std::runtime_error "cannot write PATH: reason".
    explicit OutputFile(std::string path);
    ~OutputFile();  // drops the new file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return stream_; }
    // Flushes and syncs the new file and puts it in place of the old one,
    // keeping the old one's mode. Throws std::runtime_error with the reason.
    void commit();

  private:
    std::string path_;
    std::string temp_;  // empty when writing `path_` directly
    std::ofstream stream_;
    bool committed_ = false;
};

// Whether two paths name the same existing file (device and inode).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace cli
