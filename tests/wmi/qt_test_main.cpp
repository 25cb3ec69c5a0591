// Test main for the tests that need the window thread's event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>

#include "wmi/instances_thread.h"
#include "wmi/query_thread.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // Every test terminated its threads; they must all have freed themselves.
    const bool ended = wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(30)) &&
                       wmi::QueryThread::WaitForAllEnded(std::chrono::seconds(30));
    // Steps still queued for terminated threads run (as no-ops) and go.
    QCoreApplication::processEvents();
    if (!ended) {
        std::fprintf(stderr, "threads still alive at exit: %d instance, %d query\n",
                     wmi::TWMIInstancesThread::LiveCount(), wmi::QueryThread::LiveCount());
        return 1;
    }
    return rc;
}
