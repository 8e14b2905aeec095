#include "app/close_on_signal.h"

#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace mivo {

namespace {

std::atomic_int caught{0};
int wake_pipe[2] = {-1, -1};

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void on_signal(int number)
{
    const int saved_errno = errno;
    int none = 0;
    caught.compare_exchange_strong(none, number);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_pipe[1], &byte, 1);
    errno = saved_errno;
}

void handle(int number, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}
#endif

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget& window) : window_(window)
{
    caught.store(0);
#ifdef Q_OS_UNIX
    if (::pipe(wake_pipe) != 0)
        return;
    for (const int fd : wake_pipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(wake_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CloseOnSignal::take_signal);
    for (const int s : kSignals)
        handle(s, on_signal);
#endif
}

CloseOnSignal::~CloseOnSignal()
{
#ifdef Q_OS_UNIX
    for (const int s : kSignals)
        handle(s, SIG_DFL);
    notifier_.reset();
    for (int& fd : wake_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

int CloseOnSignal::signal_number() const
{
    return caught.load();
}

void CloseOnSignal::take_signal()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    while (::read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
#endif
    // A second signal while a run winds down changes nothing: the window
    // already closes once the motor is off.
    window_.close();
}

void CloseOnSignal::end_by(int signal_number)
{
    if (signal_number == 0)
        return;
#ifdef Q_OS_UNIX
    handle(signal_number, SIG_DFL);
#endif
    std::raise(signal_number);
}

}  // namespace mivo
