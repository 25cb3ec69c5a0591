// Test programs that need a QApplication: the offscreen platform unless the
// caller chose another, and every instance thread ended before the exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>

#include "wmi/instances_thread.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int code = RUN_ALL_TESTS();
    wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(5));
    return code;
}
