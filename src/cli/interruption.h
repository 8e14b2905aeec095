#pragma once

#include "link/signal_wake.h"

#include <QObject>
#include <QString>

#include <memory>

namespace mivo {
class CommandExchange;
}

namespace mivo::cli {

// SIGINT, SIGTERM and SIGHUP for the length of a run. The handler stops the exchange
// it was given (the line in flight completes, nothing more is written, every
// wait ends), so that a command ends with a report of what it did; and wakes
// the event loop through a pipe, so that a loop waiting on its own notices.
class Interruption : public QObject {
    Q_OBJECT
public:
    explicit Interruption(CommandExchange& exchange);
    ~Interruption() override;
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The signal that came (SIGINT, SIGTERM, SIGHUP), or 0.
    int signal_number() const;
    // Its name ("SIGINT"), or empty.
    QString signal_name() const;
    // 128 + the signal, the shell's status for a command it ended.
    int exit_status() const { return 128 + signal_number(); }
    // Once the command has cleaned up: the process ends by the signal that
    // stopped it, so that a shell (a loop, "set -e", make) sees it killed and
    // stops as well. Nothing for 0.
    static void end_by_signal(int number);
    // While off, a signal only comes as interrupted(): for a loop that ends
    // between two of its exchanges by itself (a watch ends between rows).
    void set_stops_exchange(bool on);
    // On: the exchange only stops until resumed, so that a test run can
    // switch the motor off on the same line once it has unwound.
    void set_stop_resumable(bool on);

signals:
    void interrupted();

private:
    std::unique_ptr<SignalWake> wake_;
};

}  // namespace mivo::cli
