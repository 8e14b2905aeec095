#include "cli/interruption.h"

#include "link/command_exchange.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace mivo::cli {

namespace {

// What the handler may touch: lock-free atomics and write().
std::atomic<CommandExchange*> stop_target{nullptr};
std::atomic_bool stop_resumable{false};
CommandExchange* exchange_of_run = nullptr;
// Read by a test run's watch from its own thread as well.
std::atomic_int caught{0};
int wake_pipe[2] = {-1, -1};

#ifdef SIGHUP
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif

static_assert(std::atomic<CommandExchange*>::is_always_lock_free);
static_assert(std::atomic_bool::is_always_lock_free);
static_assert(std::atomic_int::is_always_lock_free);

void on_signal(int number)
{
    const int saved_errno = errno;  // the code it interrupted may be reading it
    int none = 0;
    caught.compare_exchange_strong(none, number);
    if (CommandExchange* exchange = stop_target.load()) {
        if (stop_resumable.load())
            exchange->stop_waits();
        else
            exchange->shut_down();
    }
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

Interruption::Interruption(CommandExchange& exchange)
{
    caught.store(0);
    stop_resumable.store(false);
    exchange_of_run = &exchange;
    stop_target.store(&exchange);
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
            emit interrupted();
        });
    }
#endif
    for (const int number : kSignals)
        handle(number, on_signal);
}

Interruption::~Interruption()
{
    for (const int number : kSignals)
        handle(number, SIG_DFL);
    stop_target.store(nullptr);
    exchange_of_run = nullptr;
    notifier_.reset();
#ifdef Q_OS_UNIX
    for (int& fd : wake_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

int Interruption::signal_number() const
{
    return caught.load();
}

QString Interruption::signal_name() const
{
    switch (signal_number()) {
    case 0: return {};
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
#ifdef SIGHUP
    case SIGHUP: return QStringLiteral("SIGHUP");
#endif
    default: return QStringLiteral("signal %1").arg(signal_number());
    }
}

void Interruption::end_by_signal(int number)
{
    if (number == 0)
        return;
    // What the tool printed is out before the process goes.
    std::fflush(nullptr);
    handle(number, SIG_DFL);
    std::raise(number);
}

void Interruption::set_stop_resumable(bool on)
{
    stop_resumable.store(on);
}

void Interruption::set_stops_exchange(bool on)
{
    stop_target.store(on ? exchange_of_run : nullptr);
}

}  // namespace mivo::cli
