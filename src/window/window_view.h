#pragma once

#include "console/console_view.h"
#include "window/controls.h"

class QLineEdit;
class QWidget;

namespace mivo {

class LinePane;

// What the console shows, on the window's widgets: the window's side of
// ConsoleView. What the user typed the handlers read themselves.
class WindowView : public ConsoleView {
public:
    WindowView(QWidget& window, Form1Controls& ui);

    void set_line_pane(LinePane* pane) { line_pane_ = pane; }
    // The window is going away: no more boxes come up.
    void set_closing() { closing_ = true; }

    void show_message(const QString& text) override;
    bool ask(const QString& question) override;
    void apply_availability(const Availability::State& state) override;
    void show_link_light(bool linked) override;
    void show_run_light(bool running) override;
    void show_state_lights(const std::array<bool, 8>& lit) override;
    void show_input_lights(const std::array<bool, 4>& lit) override;
    void show_value(qint16 index, const QString& text) override;
    void clear_station_list() override;
    void append_station(int station) override;
    void show_station_text(const QString& text) override;
    void show_parameter(int group, int index, const QString& text) override;
    void mark_unwritten(int group, int index, bool unwritten) override;
    void show_config(const protocol::ConfigIndexes& indexes) override;
    void append_transcript(const QString& text) override;
    void clear_transcript() override;
    void clear_command() override;
    void tick_feedback_boxes() override;

private:
    // tx_position_settings(index) or tx_v_group(index); nullptr for others.
    QLineEdit* parameter_box(int group, int index) const;

    QWidget& window_;
    Form1Controls& ui_;
    LinePane* line_pane_ = nullptr;
    bool closing_ = false;
};

}  // namespace mivo
