#pragma once

#include "console/recorder.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace mivo {

class ConsoleContext;
class DriveOperations;

// The poll of the selected drive: position feedback, state and input lights,
// and the activity light that blinks with every tick.
class Monitoring {
public:
    Monitoring(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    // One poll tick, as the "FeedBack" boxes choose; nothing on the line in
    // broadcast mode or with both boxes clear.
    void Timer1_Timer();
    // Poll ticks back to back, at least one, until more than msecond have
    // passed; processes no events of its own. Returns early when the link
    // goes away.
    void Delay_and_Trigger_Timer1(qint32 msecond);
    // Reads live value RV_Group_num into lb_rv_feedback(RV_Group_num) with
    // the poll held off, which goes on afterwards. A reply without a value line
    // leaves the box as it was; the result tells whether one came. Only
    // values 0, 3 and 4 have a box; any other number reads nothing.
    bool get_and_show_RV_Group(qint16 RV_Group_num) { return read_and_show_RV_Group(RV_Group_num).has_value(); }
    // The same, giving the value line that came.
    std::optional<QString> read_and_show_RV_Group(qint16 RV_Group_num);
    // The "FeedBack" boxes: cb_ask_pfbk (position) and cb_ask_states, as the
    // front end has them; both ticked at start, as the window loads them.
    // Kept in the state, which the boxes follow ("Stop" ticks both).
    void set_feedback(bool position, bool states);
    void update_states();
    void update_DI_states();

    static bool has_value_box(qint16 RV_Group_num);

private:
    // Timer1_Timer; false when the tick put nothing on the line.
    bool tick();
    bool poll();

    ConsoleContext& c_;
    DriveOperations& operations_;
    // The sample of the tick under way, which the reads fill in.
    Recorder::Sample* sample_ = nullptr;
};

}  // namespace mivo
