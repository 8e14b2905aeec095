#include "link/waits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <thread>

namespace mivo {

namespace {

constexpr qint64 kMaxTimerMs = std::numeric_limits<int>::max();

bool is_over(const QElapsedTimer& clock, qint32 msecond)
{
    return clock.elapsed() > msecond;
}

// Time until the first reading that counts as over: elapsed() truncates to
// whole milliseconds, so that is msecond + 1 ms after the start.
std::chrono::nanoseconds time_left(const QElapsedTimer& clock, qint32 msecond)
{
    const qint64 deadline_ns = (qint64(msecond) + 1) * 1'000'000;
    return std::chrono::nanoseconds(std::max<qint64>(deadline_ns - clock.nsecsElapsed(), 0));
}

}  // namespace

void wait_without_events(qint32 msecond)
{
    QElapsedTimer clock;
    clock.start();
    while (!is_over(clock, msecond))
        std::this_thread::sleep_for(time_left(clock, msecond));
}

void wait_with_events(qint32 msecond, const std::function<bool()>& stop)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    // A single-shot timer for the time left wakes the blocking pass below at
    // the deadline when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!is_over(clock, msecond) && !(stop && stop())) {
        if (!wake.isActive()) {
            // QTimer takes an int of milliseconds; a longer wait just wakes
            // and re-arms.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(time_left(clock, msecond));
            wake.start(std::clamp<std::chrono::milliseconds>(left, std::chrono::milliseconds(1),
                                                             std::chrono::milliseconds(kMaxTimerMs)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace mivo
