#pragma once

#include "console/console_context.h"
#include "console/drive_operations.h"
#include "console/drive_settings.h"
#include "console/line_operations.h"
#include "console/line_overview.h"
#include "console/monitoring.h"
#include "console/motion.h"
#include "console/port_control.h"
#include "console/reconnection.h"
#include "console/settings.h"
#include "console/station_batch.h"
#include "console/stations.h"
#include "console/terminal.h"
#include "link/command_exchange.h"
#include "link/wire_log.h"

#include <QObject>

namespace mivo {

class ConsoleView;
class SerialPort;

// The console without its window: the logic behind every handler, the
// form-level variables, the availability rules and the poll, on a
// serial port it is given. A front end gives it a view and calls the
// subsystems from its handlers.
class Console : public QObject {
    Q_OBJECT
public:
    explicit Console(SerialPort& port, QObject* parent = nullptr);
    ~Console() override;

    // Until a view is given (and after nullptr) the console shows nothing.
    void set_view(ConsoleView* view);

    void Form_Load();
    // The user brought page (a Page) to the front: "Setup" reads the
    // groups, "Config" the configuration word.
    void SSTab1_Click(qint16 PreviousTab, int page);
    // The program is going away: every wait ends, nothing more is written,
    // the poll stops and the port closes.
    void shut_down();

    PortControl& port_control() { return port_control_; }
    // The drive operations, for front ends that call instead of clicking.
    DriveOperations& operations() { return operations_; }
    // The line as a whole: the search, and the Line pane's rounds.
    LineOperations& line_operations() { return line_operations_; }
    Terminal& terminal() { return terminal_; }
    Stations& stations() { return stations_; }
    Monitoring& monitoring() { return monitoring_; }
    Settings& settings() { return settings_; }
    Motion& motion() { return motion_; }
    DriveSettings& drive_settings() { return drive_settings_; }
    Reconnection& reconnection() { return reconnection_; }
    // Every station of the line, read in the line's idle moments.
    LineOverview& line_overview() { return line_overview_; }
    StationBatch& station_batch() { return station_batch_; }

    ConsoleView& view() const { return context_.view(); }
    FormVariables& vars() { return context_.vars; }
    const Availability& availability() const { return context_.availability; }
    // The poll's switch; front ends and batches ask it, never its timer.
    PollGate& poll() { return context_.poll; }
    // The poll's timer, for tests that drive the poll by hand.
    QTimer& Timer1() { return context_.poll.timer(); }
    CommandExchange& exchange() { return exchange_; }
    // Every line written and every piece read, whoever sent it.
    WireLog& wire_log() { return wire_log_; }
    // What the poll read, a sample a tick.
    Recorder& recorder() { return context_.recorder; }
    // The link, the station, the live values and the samples, with signals.
    ConsoleState& state() { return context_.state; }
    SerialPort& MSComm1() { return context_.MSComm1; }
    // For actions built on the operations (OperationScope).
    ConsoleContext& context() { return context_; }

private:
    WireLog wire_log_;
    CommandExchange exchange_;
    ConsoleContext context_;
    PortControl port_control_;
    DriveOperations operations_;
    LineOperations line_operations_;
    Monitoring monitoring_;
    Terminal terminal_;
    Stations stations_;
    Settings settings_;
    Motion motion_;
    DriveSettings drive_settings_;
    Reconnection reconnection_;
    LineOverview line_overview_;
    StationBatch station_batch_;
};

}  // namespace mivo
