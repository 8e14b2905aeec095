#pragma once

#include "console/availability.h"
#include "console/recorder.h"
#include "protocol/reply_values.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace mivo {

// Page indices of the tab control.
enum Page : int { kTerminalPage = 0, kMotionPage = 1, kSetupPage = 2, kConfigPage = 3 };

// lb_rv_feedback(3), "CFG": the configuration word as the "Config" page read
// it. The other value boxes carry the number of the live value they show.
constexpr qint16 kConfigWordBox = 3;

// Everything the console shows, in the console's own terms. What the user
// typed or chose comes in as values, from the front end's handlers. The
// window implements it with widgets; tests and a command-line front end
// implement it without any. Every member does nothing here, so that a front
// end overrides only what it has.
class ConsoleView {
public:
    virtual ~ConsoleView() = default;

    // A message with an OK button; returns when the user has closed it.
    virtual void show_message(const QString& text) { Q_UNUSED(text); }
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& question) { Q_UNUSED(question); return false; }
    // The enabled state of every control and page the console switches.
    virtual void apply_availability(const Availability::State& state) { Q_UNUSED(state); }

    // comm_state_light: red while the port is open.
    virtual void show_link_light(bool linked) { Q_UNUSED(linked); }
    // sh_run: red while a poll tick runs.
    virtual void show_run_light(bool running) { Q_UNUSED(running); }
    // mivo_state_light(0..7) and mivo_DI_state_light(0..3): red for a set bit.
    virtual void show_state_lights(const std::array<bool, 8>& lit) { Q_UNUSED(lit); }
    virtual void show_input_lights(const std::array<bool, 4>& lit) { Q_UNUSED(lit); }
    // lb_rv_feedback(index): 0 position, 3 configuration word, 4 version.
    virtual void show_value(qint16 index, const QString& text) { Q_UNUSED(index); Q_UNUSED(text); }

    // The station box: its list and its text.
    virtual void clear_station_list() {}
    // Adds an item and keeps the text the box shows.
    virtual void append_station(int station) { Q_UNUSED(station); }
    virtual void show_station_text(const QString& text) { Q_UNUSED(text); }

    // tx_position_settings(index) (group 0) and tx_v_group(index) (group 1).
    virtual void show_parameter(int group, int index, const QString& text)
    {
        Q_UNUSED(group); Q_UNUSED(index); Q_UNUSED(text);
    }
    // The edit marker: the box holds keys that have not been written.
    virtual void mark_unwritten(int group, int index, bool unwritten)
    {
        Q_UNUSED(group); Q_UNUSED(index); Q_UNUSED(unwritten);
    }
    // cbb_config(0..5) show these list indexes.
    virtual void show_config(const protocol::ConfigIndexes& indexes) { Q_UNUSED(indexes); }

    // The terminal's transcript and its command box.
    virtual void append_transcript(const QString& text) { Q_UNUSED(text); }
    virtual void clear_transcript() {}
    virtual void clear_command() {}

    // "Stop" ticks both "FeedBack" boxes.
    virtual void tick_feedback_boxes() {}

};

}  // namespace mivo
