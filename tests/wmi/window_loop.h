// Running the window thread's event loop in tests.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>

namespace wmitest {

// Runs events until done() holds or the time is up; returns done().
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    QTimer tick;  // wakes the loop to look at done() again
    tick.start(2);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs events for a while.
inline void pumpFor(std::chrono::milliseconds time) {
    QElapsedTimer clock;
    clock.start();
    pumpUntil([&] { return clock.elapsed() >= time.count(); }, time + std::chrono::seconds(1));
}

}  // namespace wmitest
