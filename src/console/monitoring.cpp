#include "console/monitoring.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/wire_source.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <utility>

namespace mivo {

void Monitoring::Timer1_Timer()
{
    tick();
}

bool Monitoring::tick()
{
    const WireSource tag(c_.exchange, QStringLiteral("poll"));
    c_.state.set_polling(true);
    Recorder::Sample sample{c_.recorder.now(), {}, {}, {}};
    Recorder::Sample* const outer = std::exchange(sample_, &sample);
    const bool sent = poll();
    sample_ = outer;
    c_.state.set_polling(false);
    if (sent) {
        c_.recorder.append(sample);
        c_.state.add_sample(sample);
    }
    return sent;
}

bool Monitoring::poll()
{
    LinkGuard link = c_.hold_link();
    if (!link.up() || c_.broadcast())
        return false;
    const bool states = c_.state.feedback_states();
    const bool position = c_.state.feedback_position();
    if (!states && !position)
        return false;
    if (position)
        get_and_show_RV_Group(protocol::kValuePosition);
    if (!states || !link.up())
        return true;
    update_states();
    link.Delay(CommandExchange::kReplyWaitMs);
    // A "Close" inside the pause ends the tick there.
    if (!link.up())
        return true;
    update_DI_states();
    link.Delay(CommandExchange::kReplyWaitMs);
    return true;
}

void Monitoring::Delay_and_Trigger_Timer1(qint32 msecond)
{
    const LinkGuard link = c_.hold_link();
    const Stopwatch clock;
    do {
        const bool sent = tick();
        if (!link.up())
            return;
        // Without events nothing can change the boxes or the station, so the
        // ticks left until the deadline would all be empty: sleep instead of
        // spinning through them.
        if (!sent)
            sleep_until_over(clock, msecond);
    } while (!clock.is_over(msecond));
}

bool Monitoring::has_value_box(qint16 RV_Group_num)
{
    return RV_Group_num == protocol::kValuePosition || RV_Group_num == kConfigWordBox
           || RV_Group_num == protocol::kValueVersion;
}

std::optional<QString> Monitoring::read_and_show_RV_Group(qint16 RV_Group_num)
{
    if (!has_value_box(RV_Group_num))
        return std::nullopt;
    LinkGuard link = c_.hold_link();
    // The next tick is due a full interval after this read.
    const PollGate::Hold off(c_.poll, link, PollGate::After::On);
    const std::optional<QString> value = operations_.read_live_value(RV_Group_num).value_line;
    if (sample_ && RV_Group_num == protocol::kValuePosition)
        sample_->position = Recorder::position_of(value);
    return value;
}

void Monitoring::update_states()
{
    const std::optional<QString> value = operations_.read_live_value(protocol::kValueState).value_line;
    if (sample_)
        sample_->state = Recorder::state_of(value);
}

void Monitoring::update_DI_states()
{
    const std::optional<QString> value = operations_.read_live_value(protocol::kValueInputs).value_line;
    if (sample_)
        sample_->inputs = Recorder::inputs_of(value);
}

void Monitoring::set_feedback(bool position, bool states)
{
    c_.state.set_feedback(position, states);
}

}  // namespace mivo
