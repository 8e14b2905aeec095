#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;
class QWidget;

namespace mivo {

// SIGINT, SIGTERM and SIGHUP close the window as its close button does: a
// test run is stopped and the motor switched off before the program ends.
// The handler only wakes the event loop through a pipe; the window is
// closed from there.
class CloseOnSignal : public QObject {
    Q_OBJECT
public:
    explicit CloseOnSignal(QWidget& window);
    ~CloseOnSignal() override;
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

    // The signal that closed the window, or 0.
    int signal_number() const;
    // Ends the program by that signal, as the shell expects of a program a
    // signal stopped; after everything else has been torn down.
    static void end_by(int signal_number);

private:
    void take_signal();

    QWidget& window_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace mivo
