#include "console/motion.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/monitoring.h"
#include "console/poll_gate.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>

#include <optional>
#include <utility>

namespace mivo {

bool Motion::linked_or_tell()
{
    return c_.linked_or_tell(QStringLiteral("Link first!"));
}

void Motion::enable_click()
{
    if (linked_or_tell())
        operations_.servo(true);
}

void Motion::disable_click()
{
    if (linked_or_tell())
        operations_.servo(false);
}

void Motion::home_click()
{
    if (!linked_or_tell())
        return;
    const LinkGuard link = c_.hold_link();
    // No poll line may cut into the run; the drive gives its prompt when
    // done. The poll goes on afterwards, but not on a link opened again
    // inside the wait: that one belongs to whoever opened it.
    const PollGate::Hold off(c_.poll, link, PollGate::After::On);
    operations_.home(c_.exchange.homing_limit_ms());
}

bool Motion::read_cycle_fields(const CycleTexts& typed, CycleFields& fields)
{
    const struct {
        const QString& text;
        const char* caption;
        qint32* value;
    } inputs[] = {
        {typed.position_1, "Position 1", &fields.position_1},
        {typed.position_2, "Position 2", &fields.position_2},
        {typed.delay_1, "Delay 1", &fields.delay_1},
        {typed.delay_2, "Delay 2", &fields.delay_2},
    };
    for (const auto& in : inputs) {
        const std::optional<qint32> value = protocol::to_int32(in.text);
        if (!value) {
            c_.tell(QStringLiteral("%1: type a number from -2147483648 to 2147483647.")
                        .arg(QLatin1String(in.caption)));
            return false;
        }
        *in.value = *value;
    }
    // The speed goes out as typed, so it must be what goes on the wire.
    fields.speed = typed.speed;
    return c_.sendable_or_tell(fields.speed, QStringLiteral("Velocity"));
}

void Motion::start_click(const CycleTexts& typed)
{
    const WireSource tag(c_.exchange, QStringLiteral("motion"));
    if (!linked_or_tell())
        return;
    // A bad number must not reach the drive nor leave a half-started cycle.
    CycleFields f{};
    if (!read_cycle_fields(typed, f))
        return;
    LinkGuard link = c_.hold_link();

    // Not a hold: the dwells' ticks keep the poll going in normal mode.
    c_.poll.stop();
    c_.vars.move_running = true;
    c_.report([](Availability& a) { a.cycle_started(); });
    const bool broadcast = c_.broadcast();

    // The speed goes out once, before the first move.
    std::optional<QString> speed = f.speed;
    bool link_up = link.up();
    while (link_up) {
        link_up = move_and_dwell(link, {f.position_1, std::exchange(speed, std::nullopt)}, f.delay_1, broadcast)
                  && move_and_dwell(link, {f.position_2, std::nullopt}, f.delay_2, broadcast);
        if (!c_.vars.move_running)
            break;
    }
    if (!link_up) {
        // Closed or lost under the cycle: nothing more goes out, and the
        // timer stays as the close left it.
        c_.vars.move_running = false;
        c_.report([](Availability& a) { a.cycle_ended(); });
        return;
    }
    // In broadcast mode no drive answers a poll.
    if (!broadcast)
        c_.poll.start(link);
    c_.report([](Availability& a) { a.cycle_ended(); });
}

bool Motion::move_and_dwell(LinkGuard& link, const Step& step, qint32 dwell, bool broadcast)
{
    DriveOperations::MoveRequest move;
    move.position = step.position;
    move.speed = step.speed;
    if (!operations_.move(move).ok())
        return false;
    // In normal mode the dwell keeps the position and lights up to date.
    if (broadcast)
        link.Delay(dwell);
    else
        monitoring_.Delay_and_Trigger_Timer1(dwell);
    if (!link.up())
        return false;
    c_.between_broadcast_moves = broadcast;
    QCoreApplication::processEvents();
    c_.between_broadcast_moves = false;
    return link.up();
}

void Motion::stop_click()
{
    if (!linked_or_tell())
        return;
    // The cycle sees this after its next second dwell, so it always ends
    // with the move to position 2.
    c_.vars.move_running = false;
    monitoring_.set_feedback(true, true);
    c_.report([](Availability& a) { a.cycle_stop_pressed(); });
}

}  // namespace mivo
