// A std::streambuf over a file descriptor that keeps the system's reason for
// the first failed write, so that wql can say "No space left on device"
// rather than that some write failed.
#pragma once

#include <ostream>
#include <streambuf>

namespace cli {

class FdStreamBuf final : public std::streambuf {
  public:
    explicit FdStreamBuf(int fd);
    FdStreamBuf(const FdStreamBuf&) = delete;
    FdStreamBuf& operator=(const FdStreamBuf&) = delete;

    // The errno of the first failed write, or 0. After it nothing more is written.
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    bool drain();  // writes out the buffer; false once a write failed

    int fd_;
    int error_ = 0;
    char buffer_[65536];
};

// The errno a stream's FdStreamBuf kept, or 0 for other streams.
int StreamErrno(const std::ostream& out);

}  // namespace cli
