#include "link/waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <thread>

namespace mivo {

namespace {
constexpr qint64 kMaxTimerMs = std::numeric_limits<int>::max();
}  // namespace

qint64 tick_count_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::chrono::nanoseconds Stopwatch::time_left(qint64 limit) const
{
    using namespace std::chrono;
    const steady_clock::time_point over{milliseconds(start_ + limit + 1)};
    return std::max<nanoseconds>(over - steady_clock::now(), nanoseconds(0));
}

void sleep_until_over(const Stopwatch& clock, qint64 limit)
{
    while (!clock.is_over(limit))
        std::this_thread::sleep_for(clock.time_left(limit));
}

void wait_without_events(qint32 msecond)
{
    sleep_until_over(Stopwatch(), msecond);
}

void wait_with_events(qint32 msecond, const std::function<bool()>& stop)
{
    const Stopwatch clock;
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    // A single-shot timer for the time left wakes the blocking pass below at
    // the deadline when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!clock.is_over(msecond) && !(stop && stop())) {
        const auto left = clock.time_left(msecond);
        // A timer wakes on whole milliseconds and a little late: the last
        // fraction is slept, as the final reading would not process events
        // either.
        if (left < std::chrono::milliseconds(1)) {
            std::this_thread::sleep_for(left);
            continue;
        }
        if (!wake.isActive()) {
            // QTimer takes an int of milliseconds; a longer wait just wakes
            // and re-arms.
            const auto whole = std::chrono::floor<std::chrono::milliseconds>(left);
            wake.start(std::min<std::chrono::milliseconds>(whole, std::chrono::milliseconds(kMaxTimerMs)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace mivo
