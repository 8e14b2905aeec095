#pragma once

#include <ctime>

// CPU time used by this process so far, in milliseconds.
inline double process_cpu_ms()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
