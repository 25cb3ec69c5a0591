// Writes bytes to a QIODevice and keeps the first error's text. A device that
// is not open yet is opened write-only and truncated (so a file is created or
// emptied) and closed by finish(); a device the caller opened must be writable
// and is left open. After the first error nothing more is written, and what
// was written before it stays.
#pragma once

#include <string>
#include <string_view>

class QIODevice;

namespace exporter {

class DeviceWriter {
  public:
    explicit DeviceWriter(QIODevice& device);
    DeviceWriter(const DeviceWriter&) = delete;
    DeviceWriter& operator=(const DeviceWriter&) = delete;
    ~DeviceWriter();

    bool ok() const { return error_.empty(); }
    // Writes all of bytes; false once any write has failed.
    bool write(std::string_view bytes);
    // Flushes a file and closes a device this writer opened. False with the
    // first error's text in error otherwise left untouched.
    bool finish(std::string& error);

  private:
    void fail(std::string text);

    QIODevice& device_;
    bool opened_ = false;
    std::string error_;
};

}  // namespace exporter
