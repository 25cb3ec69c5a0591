// Both writers against devices that refuse or fail part-way.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

#include "export/delimited.h"
#include "export/export_format.h"
#include "export/html_report.h"

namespace exporter {
namespace {

// Takes `capacity` bytes, then fails like a full disk. The write that crosses
// the limit is cut short first, as a real device may do.
class FullDevice : public QIODevice {
  public:
    explicit FullDevice(qint64 capacity) : capacity_(capacity) {}
    QByteArray data;
    int failedWrites = 0;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* bytes, qint64 size) override {
        const qint64 room = capacity_ - data.size();
        if (room <= 0) {
            ++failedWrites;
            setErrorString("Disk full");
            return -1;
        }
        const qint64 n = std::min(room, size);
        data.append(bytes, n);
        return n;
    }

  private:
    qint64 capacity_;
};

using Writer = bool (*)(const ResultView&, QIODevice&, std::string&);

struct WriterCase {
    const char* name;
    Writer write;
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

const PlainResultView& sampleView() {
    static const PlainResultView view({"Name", "Handle Count", "Path", "Owner"},
                                      {{"init", "12", "/sbin/init", "root"},
                                       {"bash", "7", "/bin/bash", "user"},
                                       {"sshd", "9", "/usr/sbin/sshd", "root"}});
    return view;
}

class ExportDeviceTest : public testing::TestWithParam<WriterCase> {
  protected:
    std::string fullOutput() {
        QBuffer buffer;
        std::string error;
        EXPECT_TRUE(GetParam().write(sampleView(), buffer, error)) << error;
        return buffer.data().toStdString();
    }
};

TEST_P(ExportDeviceTest, StopsAtTheFirstFailedWriteAndKeepsWhatWasWritten) {
    const std::string full = fullOutput();
    for (qint64 capacity : {qint64{0}, qint64{1}, qint64{50}, qint64(full.size()) - 1}) {
        FullDevice device(capacity);
        ASSERT_TRUE(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        std::string error;
        EXPECT_FALSE(GetParam().write(sampleView(), device, error)) << capacity;
        EXPECT_EQ(error, "Disk full");
        EXPECT_EQ(device.data.toStdString(), full.substr(0, static_cast<size_t>(capacity)));
        EXPECT_EQ(device.failedWrites, 1) << "kept writing after the device failed";
    }
}

TEST_P(ExportDeviceTest, ReadOnlyDeviceIsRefusedAndLeftAlone) {
    QByteArray held("keep me");
    QBuffer buffer(&held);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    std::string error;
    EXPECT_FALSE(GetParam().write(sampleView(), buffer, error));
    EXPECT_EQ(error, "The output is not open for writing");
    EXPECT_EQ(held, "keep me");
}

TEST_P(ExportDeviceTest, FileThatCannotBeCreatedGivesTheSystemsText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("missing/report.out"));
    std::string error;
    EXPECT_FALSE(GetParam().write(sampleView(), file, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(file.isOpen());
}

TEST_P(ExportDeviceTest, FullDiskFoundWhenTheFileIsFlushed) {
    // Writes to /dev/full fail with ENOSPC, which a buffered file reports
    // only when its buffer goes out.
    QFile file("/dev/full");
    if (!file.exists()) GTEST_SKIP() << "no /dev/full";
    std::string error;
    EXPECT_FALSE(GetParam().write(sampleView(), file, error));
    EXPECT_EQ(error, "No space left on device");
    EXPECT_FALSE(file.isOpen());
}

TEST_P(ExportDeviceTest, UnopenedFileIsCreatedOrEmptiedAndClosed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("result.out"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));  // longer than the export
    file.close();
    const std::string full = fullOutput();
    for (int round = 0; round < 2; ++round) {
        std::string error;
        EXPECT_TRUE(GetParam().write(sampleView(), file, error)) << error;
        EXPECT_EQ(error, "");
        EXPECT_FALSE(file.isOpen());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), full);
        file.close();
    }
}

TEST_P(ExportDeviceTest, DeviceOpenedByTheCallerStaysOpen) {
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    buffer.write("before\r\n");
    std::string error;
    EXPECT_TRUE(GetParam().write(sampleView(), buffer, error)) << error;
    EXPECT_TRUE(buffer.isOpen());
    EXPECT_EQ(buffer.data().toStdString(), "before\r\n" + fullOutput());
}

INSTANTIATE_TEST_SUITE_P(
    Writers, ExportDeviceTest,
    testing::Values(
        WriterCase{"Html",
                   [](const ResultView& v, QIODevice& d, std::string& e) {
                       ReportInfo info;
                       info.host = "localhost";
                       info.nameSpace = "root\\cimv2";
                       info.query = "select * from Win32_Process";
                       info.generatedAt = "03/05/24 at 14:07:09";
                       return WriteHtmlReport(v, info, d, e);
                   }},
        WriterCase{"Csv", [](const ResultView& v, QIODevice& d,
                             std::string& e) { return WriteDelimited(v, kCsvSeparator, d, e); }},
        WriterCase{"Tsv", [](const ResultView& v, QIODevice& d,
                             std::string& e) { return WriteDelimited(v, kTsvSeparator, d, e); }}),
    [](const testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace exporter
