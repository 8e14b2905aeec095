#include "console/view_follower.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

namespace mivo {

ViewFollower::ViewFollower(ConsoleContext& c)
{
    ConsoleState& state = c.state;
    connect(&state, &ConsoleState::link_changed, this, [&c](bool open) { c.view().show_link_light(open); });
    connect(&state, &ConsoleState::polling_changed, this, [&c](bool on) { c.view().show_run_light(on); });
    connect(&state, &ConsoleState::live_value_changed, this,
            [&c](qint16 RV_Group_num, const std::optional<QString>& value) {
                ConsoleView& view = c.view();
                switch (RV_Group_num) {
                case protocol::kValuePosition:
                    // A missing reply leaves the box as it was; any line,
                    // "ERR" too, shows as it came.
                    if (value)
                        view.show_value(RV_Group_num, *value);
                    break;
                case protocol::kValueVersion:
                    // No answer empties the box: what it showed was the
                    // station's selected before.
                    view.show_value(RV_Group_num, value.value_or(QString()));
                    break;
                case protocol::kValueState:
                    // No number, no information: the lights keep what they
                    // showed.
                    if (const auto lit = protocol::state_lights(value.value_or(QString())))
                        view.show_state_lights(*lit);
                    break;
                case protocol::kValueInputs:
                    if (const auto lit = protocol::input_lights(value.value_or(QString())))
                        view.show_input_lights(*lit);
                    break;
                default: break;
                }
            });
}

}  // namespace mivo
