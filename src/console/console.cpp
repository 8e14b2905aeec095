#include "console/console.h"

#include "console/console_view.h"
#include "link/serial_port.h"

namespace mivo {

Console::Console(SerialPort& port, QObject* parent)
    : QObject(parent),
      exchange_(port),
      context_(port, exchange_),
      port_control_(context_),
      operations_(context_),
      line_operations_(context_),
      monitoring_(context_, operations_),
      terminal_(context_, operations_),
      stations_(context_, operations_, line_operations_),
      settings_(context_, operations_),
      motion_(context_, monitoring_, operations_),
      drive_settings_(context_, operations_),
      reconnection_(context_, port_control_, stations_),
      line_overview_(context_, line_operations_),
      station_batch_(context_, operations_, drive_settings_, stations_)
{
    port.setObjectName(QStringLiteral("MSComm1"));
    exchange_.set_wire_log(&wire_log_);
    connect(&context_.poll, &PollGate::tick, this, [this] { monitoring_.Timer1_Timer(); });
    // A lost port is handled at once, so that a handler waiting on the drive
    // sees the link gone when its wait returns.
    connect(&port, &SerialPort::lost, this, [this](const QString& reason) {
        const bool reconnecting = reconnection_.begin();
        port_control_.link_lost(reason, reconnecting);
    });
    port_control_.set_on_user_action([this] { reconnection_.stop(); });
}

Console::~Console()
{
    // The handlers' state goes with us; keep a closing port from reaching it.
    context_.MSComm1.disconnect(this);
}

void Console::set_view(ConsoleView* view)
{
    context_.set_view(view);
    context_.apply_availability();
}

void Console::Form_Load()
{
    context_.vars.is_linked = false;
    context_.vars.move_running = false;
}

void Console::SSTab1_Click(qint16 PreviousTab, int page)
{
    Q_UNUSED(PreviousTab);
    if (!context_.linked_or_tell(QStringLiteral("Link first!")))
        return;
    switch (page) {
    case kSetupPage: settings_.read_groups(); break;
    case kConfigPage: settings_.get_and_show_MIVO_config(); break;
    default: break;  // "Terminal" and "Motion" read nothing
    }
}

void Console::shut_down()
{
    // A handler may still sit in a wait (homing, a dwell, the search): make
    // its waits end and keep it from writing, so that the program ends
    // promptly.
    exchange_.shut_down();
    reconnection_.stop();
    context_.poll.stop();
    context_.MSComm1.close();
    context_.vars.is_linked = false;
}

}  // namespace mivo
