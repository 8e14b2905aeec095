#include "link/signal_wake.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace mivo {

namespace {

// What the handler may touch: lock-free atomics and write().
std::atomic_int caught{0};
std::atomic<void (*)(int)> extra{nullptr};
int wake_pipe[2] = {-1, -1};

static_assert(std::atomic_int::is_always_lock_free);
static_assert(std::atomic<void (*)(int)>::is_always_lock_free);

#ifdef SIGHUP
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif

void on_signal(int number)
{
    const int saved_errno = errno;  // the code it interrupted may be reading it
    int none = 0;
    caught.compare_exchange_strong(none, number);
    if (void (*in_handler)(int) = extra.load())
        in_handler(number);
#ifdef Q_OS_UNIX
    if (wake_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_pipe[1], &byte, 1);
    }
#endif
    errno = saved_errno;
}

void handle(int number, void (*handler)(int))
{
#ifdef Q_OS_UNIX
    // Restarted system calls: a port read or write is not cut short.
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
#else
    std::signal(number, handler);
#endif
}

}  // namespace

SignalWake::SignalWake(void (*in_handler)(int))
{
    caught.store(0);
    extra.store(in_handler);
#ifdef Q_OS_UNIX
    if (::pipe(wake_pipe) == 0) {
        for (const int fd : wake_pipe) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        notifier_ = std::make_unique<QSocketNotifier>(wake_pipe[0], QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            char drain[16];
            while (::read(wake_pipe[0], drain, sizeof drain) > 0) {
            }
            emit woke();
        });
    }
#endif
    for (const int number : kSignals)
        handle(number, on_signal);
}

SignalWake::~SignalWake()
{
    for (const int number : kSignals)
        handle(number, SIG_DFL);
    extra.store(nullptr);
    notifier_.reset();
#ifdef Q_OS_UNIX
    for (int& fd : wake_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

int SignalWake::signal_number()
{
    return caught.load();
}

void SignalWake::end_by(int signal_number)
{
    if (signal_number == 0)
        return;
    // What the program printed is out before the process goes.
    std::fflush(nullptr);
    handle(signal_number, SIG_DFL);
    std::raise(signal_number);
}

}  // namespace mivo
