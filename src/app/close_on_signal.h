#pragma once

#include "link/signal_wake.h"

#include <QObject>

class QWidget;

namespace mivo {

// SIGINT, SIGTERM and SIGHUP close the window as its close button does: a
// test run is stopped and the motor switched off before the program ends.
class CloseOnSignal : public QObject {
    Q_OBJECT
public:
    explicit CloseOnSignal(QWidget& window);

    // The signal that closed the window, or 0.
    int signal_number() const { return SignalWake::signal_number(); }
    // Ends the program by that signal, after everything else has been torn
    // down.
    static void end_by(int signal_number) { SignalWake::end_by(signal_number); }

private:
    SignalWake wake_;
};

}  // namespace mivo
