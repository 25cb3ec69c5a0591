// Test programs that need a QApplication: the offscreen platform unless the
// caller chose another, and every instance thread and query worker ended
// before the exit (a query worker still alive fails the run).
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdio>

#include "wmi/instances_thread.h"
#include "wmi/query_thread.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int code = RUN_ALL_TESTS();
    wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(5));
    if (!wmi::QueryThread::WaitForAllEnded(std::chrono::seconds(30))) {
        std::fprintf(stderr, "query workers still alive at exit: %d\n",
                     wmi::QueryThread::LiveCount());
        return 1;
    }
    return code;
}
