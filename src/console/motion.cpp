#include "console/motion.h"

#include "console/console_context.h"
#include "console/monitoring.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"
#include "window/controls.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

#include <optional>

namespace mivo {

bool Motion::linked_or_tell()
{
    return c_.linked_or_tell(QStringLiteral("Link first!"));
}

void Motion::enable_click()
{
    if (linked_or_tell())
        c_.exchange.send_mivo_command(protocol::enable_line(true));
}

void Motion::disable_click()
{
    if (linked_or_tell())
        c_.exchange.send_mivo_command(protocol::enable_line(false));
}

void Motion::home_click()
{
    if (!linked_or_tell())
        return;
    const quint64 session = c_.link_session;
    // No poll line may cut into the run; the drive gives its prompt when done.
    c_.ui.Timer1->stop();
    c_.exchange.send_mivo_command(protocol::home_line());
    // After a "Close" (and perhaps a new "Open") inside the wait the timer
    // belongs to whoever opened the link again.
    if (c_.link_still_up(session))
        c_.start_timer1();
}

bool Motion::read_cycle_fields(CycleFields& fields)
{
    const struct {
        QLineEdit* box;
        const char* caption;
        qint32* value;
    } inputs[] = {
        {c_.ui.tx_move_position_1, "Position 1", &fields.position_1},
        {c_.ui.tx_move_position_2, "Position 2", &fields.position_2},
        {c_.ui.tx_delay_1, "Delay 1", &fields.delay_1},
        {c_.ui.tx_delay_2, "Delay 2", &fields.delay_2},
    };
    for (const auto& in : inputs) {
        const std::optional<qint32> value = protocol::to_int32(in.box->text());
        if (!value) {
            c_.show_message(QStringLiteral("%1: type a number from -2147483648 to 2147483647.")
                                .arg(QLatin1String(in.caption)));
            return false;
        }
        *in.value = *value;
    }
    // The speed goes out as typed, so it must be what goes on the wire.
    return c_.sendable_or_tell(c_.ui.tx_move_speed->text(), QStringLiteral("Velocity"));
}

void Motion::start_click()
{
    if (!linked_or_tell())
        return;
    // A bad number must not reach the drive nor leave a half-started cycle.
    CycleFields f{};
    if (!read_cycle_fields(f))
        return;
    const quint64 session = c_.link_session;

    c_.ui.Timer1->stop();
    c_.vars.move_running = kTrue;
    c_.report([](Availability& a) { a.cycle_started(); });
    const bool broadcast = c_.vars.station_num == protocol::kBroadcastStation;

    c_.vars.last_command = protocol::speed_line(c_.ui.tx_move_speed->text());
    c_.exchange.send_mivo_command(c_.vars.last_command);

    bool link_up = c_.link_still_up(session);
    while (link_up) {
        link_up = move_and_dwell(f.position_1, f.delay_1, broadcast, session)
                  && move_and_dwell(f.position_2, f.delay_2, broadcast, session);
        if (c_.vars.move_running != kTrue)
            break;
    }
    if (!link_up) {
        // Closed or lost under the cycle: nothing more goes out, and the
        // timer stays as the close left it.
        c_.vars.move_running = kFalse;
        c_.report([](Availability& a) { a.cycle_ended(); });
        return;
    }
    // In broadcast mode no drive answers a poll.
    if (!broadcast)
        c_.start_timer1();
    c_.report([](Availability& a) { a.cycle_ended(); });
}

bool Motion::move_and_dwell(qint32 position, qint32 dwell, bool broadcast, quint64 session)
{
    c_.vars.last_command = protocol::move_line(position);
    c_.exchange.send_mivo_command(c_.vars.last_command);
    if (!c_.link_still_up(session))
        return false;
    // In normal mode the dwell keeps the position and lights up to date.
    if (broadcast)
        c_.exchange.Delay(dwell);
    else
        monitoring_.Delay_and_Trigger_Timer1(dwell);
    if (!c_.link_still_up(session))
        return false;
    QCoreApplication::processEvents();
    return c_.link_still_up(session);
}

void Motion::stop_click()
{
    if (!linked_or_tell())
        return;
    // The cycle sees this after its next second dwell, so it always ends
    // with the move to position 2.
    c_.vars.move_running = kFalse;
    c_.ui.cb_ask_pfbk->setChecked(true);
    c_.ui.cb_ask_states->setChecked(true);
    c_.report([](Availability& a) { a.cycle_stop_pressed(); });
}

}  // namespace mivo
