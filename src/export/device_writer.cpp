#include "export/device_writer.h"

#include <QFileDevice>
#include <QIODevice>

namespace exporter {

namespace {

constexpr const char* kNotWritable = "The output is not open for writing";

}  // namespace

DeviceWriter::DeviceWriter(QIODevice& device) : device_(device) {
    if (!device_.isOpen()) {
        if (!device_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            fail(device_.errorString().toStdString());
            return;
        }
        opened_ = true;
    } else if (!device_.isWritable()) {
        fail(kNotWritable);
        return;
    }
    // A file reused from an earlier failure would otherwise report that one.
    if (auto* file = qobject_cast<QFileDevice*>(&device_)) file->unsetError();
}

DeviceWriter::~DeviceWriter() {
    if (opened_) device_.close();
}

void DeviceWriter::fail(std::string text) {
    if (!ok()) return;
    error_ = text.empty() ? std::string("Unknown error") : std::move(text);
}

bool DeviceWriter::write(std::string_view bytes) {
    if (!ok()) return false;
    const char* p = bytes.data();
    qint64 left = static_cast<qint64>(bytes.size());
    // A device may take less than offered; a device that takes nothing has failed.
    while (left > 0) {
        const qint64 n = device_.write(p, left);
        if (n <= 0) {
            fail(device_.errorString().toStdString());
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool DeviceWriter::finish(std::string& error) {
    auto* file = qobject_cast<QFileDevice*>(&device_);
    // A buffered file reports a full disk only when its buffer goes out.
    if (ok() && file && !file->flush()) fail(file->errorString().toStdString());
    if (opened_) {
        device_.close();
        opened_ = false;
        if (ok() && file && file->error() != QFileDevice::NoError)
            fail(file->errorString().toStdString());
    }
    if (ok()) return true;
    error = error_;
    return false;
}

}  // namespace exporter
