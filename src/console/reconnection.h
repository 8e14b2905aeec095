#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace mivo {

class ConsoleContext;
class PortControl;
class Stations;

// Opening a lost line again when it is back, and selecting again the station
// that was selected; the poll then goes on as after "Set Station". What the
// loss ended (a cycle, a homing run, a save, a restore) is not started again.
// A local device is looked for under the same name (its by-id name when it
// has one), never another adapter; a network port is tried after 1 s, then
// after twice as long each time, up to 30 s apart. A line opened again that
// is lost before anything answered on it (a server that accepts and drops,
// as ser2net does while its device is missing) was never back: the pauses
// go on growing, and the station to select is still the one lost first.
class Reconnection : public QObject {
    Q_OBJECT
public:
    static constexpr int kLocalCheckMs = 500;
    static constexpr int kFirstNetworkTryMs = 1000;
    static constexpr int kLongestNetworkPauseMs = 30000;

    Reconnection(ConsoleContext& context, PortControl& port_control, Stations& stations);

    void set_enabled(bool on);
    bool enabled() const { return enabled_; }
    // The line was lost: true when the tries begin.
    bool begin();
    bool trying() const { return trying_; }
    // Stops the tries ("Open" or "Close" by hand, the end of the program).
    void stop();

signals:
    void reconnected();

private:
    void try_now();
    void again_in(int ms);

    ConsoleContext& c_;
    PortControl& port_control_;
    Stations& stations_;
    QTimer timer_;
    bool enabled_ = false;
    bool trying_ = false;
    bool network_ = false;
    QString name_;
    std::optional<int> station_;
    int pause_ms_ = kFirstNetworkTryMs;
    bool reopened_ = false;  // the open line is one we opened again
    quint64 answers_at_open_ = 0;
    bool lost_unanswered_ = false;  // the last loss was of such a line, unanswered
};

}  // namespace mivo
