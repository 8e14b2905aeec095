#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace mivo {

// The millisecond tick counter behind every wait and time-out of the drive
// exchange: free-running and monotonic (it counts whole milliseconds of the
// steady clock, so it neither wraps nor steps back during a wait).
qint64 tick_count_ms();

// Elapsed time on the tick counter since a start reading. A limit is over at
// the first reading strictly greater than it: a wait of N ends N to N + 1
// real milliseconds after it began, as with any millisecond tick counter.
class Stopwatch {
public:
    Stopwatch() : start_(tick_count_ms()) {}
    void restart() { start_ = tick_count_ms(); }
    qint64 elapsed() const { return tick_count_ms() - start_; }
    bool is_over(qint64 limit) const { return elapsed() > limit; }
    // Real time until the first reading that is over the limit.
    std::chrono::nanoseconds time_left(qint64 limit) const;

private:
    qint64 start_;
};

// Waits without letting the window react: the thread sleeps to the deadline.
void wait_without_events(qint32 msecond);
// The same, until the limit is over on a stopwatch started earlier.
void sleep_until_over(const Stopwatch& clock, qint64 limit);

// Lets the window process its pending events at least once, then blocks in
// the event loop until the next event or the deadline, and so on until the
// time is up. Returns early, after that first pass, once stop() is true.
void wait_with_events(qint32 msecond, const std::function<bool()>& stop = {});

}  // namespace mivo
