#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace mivo {

// SIGINT, SIGTERM and SIGHUP for as long as it lives (one at a time): the
// handler notes the first signal, does the caller's async-signal-safe part
// and wakes the event loop through a pipe, where woke() comes. The signals
// get their default action back when it goes.
class SignalWake : public QObject {
    Q_OBJECT
public:
    // in_handler: run inside the handler, so only lock-free atomics and
    // the like; nullptr for none.
    explicit SignalWake(void (*in_handler)(int) = nullptr);
    ~SignalWake() override;
    SignalWake(const SignalWake&) = delete;
    SignalWake& operator=(const SignalWake&) = delete;

    // The first signal that came, or 0; any thread.
    static int signal_number();
    // Once the program has cleaned up: it ends by the signal that stopped
    // it, so that a shell (a loop, "set -e", make) sees it killed and stops
    // as well. Nothing for 0.
    static void end_by(int signal_number);

signals:
    void woke();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace mivo
