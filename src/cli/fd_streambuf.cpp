#include "fd_streambuf.h"

#include <string_view>

#include "files/replace_file.h"

namespace cli {

FdStreamBuf::FdStreamBuf(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }

bool FdStreamBuf::drain() {
    const std::string_view pending(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    if (error_ == 0 && !pending.empty()) error_ = files::WriteAll(fd_, pending);
    return error_ == 0;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize FdStreamBuf::xsputn(const char* s, std::streamsize n) {
    // What does not fit the buffer's room goes out directly.
    if (n <= epptr() - pptr()) {
        traits_type::copy(pptr(), s, static_cast<size_t>(n));
        pbump(static_cast<int>(n));
        return n;
    }
    if (!drain()) return 0;
    error_ = files::WriteAll(fd_, std::string_view(s, static_cast<size_t>(n)));
    return error_ == 0 ? n : 0;
}

int FdStreamBuf::sync() { return drain() ? 0 : -1; }

int StreamErrno(const std::ostream& out) {
    const auto* buf = dynamic_cast<const FdStreamBuf*>(out.rdbuf());
    return buf ? buf->error() : 0;
}

}  // namespace cli
