#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace mivo {

// Waits of the drive exchange. Each ends at the first clock reading whose
// elapsed whole milliseconds are strictly greater than its limit, so a wait
// of N lasts at least N + 1 ms minus the part of a millisecond already gone.

// Waits without letting the window react: the thread sleeps to the deadline.
void wait_without_events(qint32 msecond);

// Lets the window process its pending events at least once, then blocks in
// the event loop until the next event or the deadline, and so on until the
// time is up. Returns early, after that first pass, once stop() is true.
void wait_with_events(qint32 msecond, const std::function<bool()>& stop = {});

}  // namespace mivo
