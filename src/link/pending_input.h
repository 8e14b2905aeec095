#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <poll.h>
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

// A write drains in well under this; the limit only keeps a stuck adapter
// or connection from freezing the window for good.
constexpr int kWriteDrainLimitMs = 2000;

}  // namespace mivo
