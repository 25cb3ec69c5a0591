// Processor time of the calling thread, in seconds: with other work running
// beside a benchmark, it leaves out the time the thread waited for a processor.
#pragma once

#include <ctime>

inline double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
