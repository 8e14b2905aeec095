#include "console/monitoring.h"

#include "console/console_context.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"
#include "window/controls.h"
#include "window/light.h"
#include "window/value_box.h"

#include <QCheckBox>
#include <QTimer>

namespace mivo {

void Monitoring::Timer1_Timer()
{
    tick();
}

bool Monitoring::tick()
{
    c_.ui.sh_run->setFillColor(Light::kRed);
    const bool sent = poll();
    c_.ui.sh_run->setFillColor(Light::kGreen);
    return sent;
}

bool Monitoring::poll()
{
    const quint64 session = c_.link_session;
    if (!c_.link_still_up(session) || c_.vars.station_num == protocol::kBroadcastStation)
        return false;
    const bool states = c_.ui.cb_ask_states->isChecked();
    const bool position = c_.ui.cb_ask_pfbk->isChecked();
    if (!states && !position)
        return false;
    if (position)
        get_and_show_RV_Group(protocol::kValuePosition);
    if (!states || !c_.link_still_up(session))
        return true;
    update_states();
    c_.exchange.Delay(CommandExchange::kReplyWaitMs);
    // A "Close" inside the pause ends the tick there.
    if (!c_.link_still_up(session))
        return true;
    update_DI_states();
    c_.exchange.Delay(CommandExchange::kReplyWaitMs);
    return true;
}

void Monitoring::Delay_and_Trigger_Timer1(qint32 msecond)
{
    const quint64 session = c_.link_session;
    const Stopwatch clock;
    do {
        const bool sent = tick();
        if (!c_.link_still_up(session))
            return;
        // Without events nothing can change the boxes or the station, so the
        // ticks left until the deadline would all be empty: sleep instead of
        // spinning through them.
        if (!sent)
            sleep_until_over(clock, msecond);
    } while (!clock.is_over(msecond));
}

bool Monitoring::get_and_show_RV_Group(qint16 RV_Group_num)
{
    ValueBox* box = c_.ui.lb_rv_feedback(RV_Group_num);
    if (!box)
        return false;
    c_.ui.Timer1->stop();
    const bool answered = c_.exchange.get_mivo_response(protocol::read_value_line(RV_Group_num), QString());
    if (answered)
        box->setText(c_.vars.reply_value);
    c_.start_timer1();
    return answered;
}

void Monitoring::update_states()
{
    c_.exchange.get_mivo_response(protocol::read_state_line(), QString());
    // No number, no information: the lights keep what they showed.
    if (const auto lit = protocol::state_lights(c_.vars.reply_value)) {
        for (std::size_t i = 0; i < lit->size(); ++i)
            c_.ui.mivo_state_light[i]->show_bit((*lit)[i]);
    }
}

void Monitoring::update_DI_states()
{
    c_.exchange.get_mivo_response(protocol::read_inputs_line(), QString());
    // mivo_DI_state_light(4) has no bit of its own and keeps its colour.
    if (const auto lit = protocol::input_lights(c_.vars.reply_value)) {
        for (std::size_t i = 0; i < lit->size(); ++i)
            c_.ui.mivo_DI_state_light[i]->show_bit((*lit)[i]);
    }
}

}  // namespace mivo
