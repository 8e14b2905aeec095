// Overshoot and CPU cost of each kind of wait. A wait of N ms ends at the
// first reading of the millisecond tick counter above N; that moment (N to
// N + 1 ms after the start, by the counter's phase) is its protocol minimum,
// and overshoot is counted from there.
#include "link/waits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// What a naive event-processing wait does: spin on processEvents().
void busy_wait_with_events(qint32 msecond)
{
    const mivo::Stopwatch t;
    do
        QCoreApplication::processEvents();
    while (!t.is_over(msecond));
}

void measure(const char* name, qint32 msecond, int rounds, const std::function<void(qint32)>& wait)
{
    double worst = 0, total = 0, minimum = 0;
    const double cpu_start = cpu_ms();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const double least = mivo::Stopwatch().time_left(msecond).count() / 1e6;
        wait(msecond);
        const double over = t.nsecsElapsed() / 1e6 - least;
        minimum += least;
        total += over;
        worst = std::max(worst, over);
    }
    const double cpu = cpu_ms() - cpu_start;
    const double elapsed = wall.nsecsElapsed() / 1e6;
    std::printf("%-24s %5d ms x%-4d  overshoot mean %6.3f ms, worst %6.3f ms  "
                "duration/minimum %.3f  CPU %5.1f%% of a core\n",
                name, msecond, rounds, total / rounds, worst, elapsed / minimum,
                100.0 * cpu / elapsed);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Something for the event loop to do, as the poll timer would.
    QTimer background;
    QObject::connect(&background, &QTimer::timeout, [] {});
    background.start(17);

    for (qint32 ms : {0, 5, 50, 100}) {
        const int rounds = ms == 0 ? 200 : 2000 / (ms + 1) + 5;
        measure("Delay_abs (sleep)", ms, rounds, [](qint32 m) { mivo::wait_without_events(m); });
        measure("Delay (event loop)", ms, rounds, [](qint32 m) { mivo::wait_with_events(m); });
        measure("busy processEvents", ms, rounds, busy_wait_with_events);
    }
    return 0;
}
