// A write-only QIODevice over a std::ostream, so that the export writers can
// write to standard output or any stream as they write to a file.
#pragma once

#include <QIODevice>
#include <ostream>

namespace cli {

class OstreamDevice final : public QIODevice {
  public:
    explicit OstreamDevice(std::ostream& out) : out_(out) {}
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        out_.write(data, static_cast<std::streamsize>(size));
        if (!out_) {
            setErrorString(QStringLiteral("cannot write the output"));
            return -1;
        }
        return size;
    }

  private:
    std::ostream& out_;
};

}  // namespace cli
