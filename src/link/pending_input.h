#pragma once

#include <QtGlobal>

#include <algorithm>
#include <chrono>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <ctime>
#endif

namespace mivo {

// Whether the system holds bytes, an end or an error for the descriptor. A
// zero-time poll() answers without the timeout error that every empty
// waitForReadyRead(0) raises (and which a port must then tell from a real
// one); where there is no poll(), that wait decides alone.
inline bool system_has_input(qintptr descriptor)
{
#ifdef Q_OS_UNIX
    pollfd pfd{static_cast<int>(descriptor), POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0;
#else
    Q_UNUSED(descriptor);
    return true;
#endif
}

#ifdef Q_OS_UNIX
// Blocks until the system holds bytes, an end or an error for the
// descriptor, or limit has passed. A wait cut short by a signal counts as
// one that saw something: the caller reads, finds nothing and waits again.
// (Where there is no poll(), the ports wait with Qt's waitForReadyRead.)
inline bool wait_for_system_input(qintptr descriptor, std::chrono::nanoseconds limit)
{
    using namespace std::chrono;
    pollfd pfd{static_cast<int>(descriptor), POLLIN, 0};
    limit = std::max(limit, nanoseconds(0));
#ifdef Q_OS_LINUX
    // To the nanosecond: the deadline of a reply wait is not rounded up.
    const auto whole = duration_cast<seconds>(limit);
    const timespec timeout{static_cast<time_t>(whole.count()), static_cast<long>((limit - whole).count())};
    return ::ppoll(&pfd, 1, &timeout, nullptr) != 0;
#else
    // poll() counts milliseconds: rounded up, so that the wait never ends
    // before its deadline and its caller never spins on a zero timeout.
    return ::poll(&pfd, 1, static_cast<int>(ceil<milliseconds>(limit).count())) != 0;
#endif
}
#endif

// A write drains in well under this; the limit only keeps a stuck adapter
// or connection from freezing the window for good.
constexpr int kWriteDrainLimitMs = 2000;

}  // namespace mivo
