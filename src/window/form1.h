#pragma once

#include "console/console_view.h"
#include "console/station_batch.h"
#include "window/controls.h"
#include "window/settings_report_dialog.h"

class QDockWidget;

#include <QMainWindow>

namespace mivo {

class Console;
class LinePane;
namespace recipe {
class RecipeRun;
}
class RecorderPane;
class WireLogPane;

// The console's one window, a view of the console core. Its handlers are
// named after their control and event and only forward: the logic lives in
// the console, which shows what it has to show through this view.
class Form1 : public QMainWindow, public ConsoleView {
    Q_OBJECT
public:
    explicit Form1(Console& console, QWidget* parent = nullptr);
    ~Form1() override;

    const Form1Controls& controls() const { return ui_; }
    // The panes of the "View" menu.
    QDockWidget* wire_log_dock() const { return wire_log_dock_; }
    QDockWidget* recorder_dock() const { return recorder_dock_; }
    QDockWidget* line_dock() const { return line_dock_; }
    WireLogPane& wire_log_pane() const { return *wire_log_pane_; }
    RecorderPane& recorder_pane() const { return *recorder_pane_; }

    // Handlers.
    void Form_Load();
    void cmd_port_open_Click();
    void cmd_port_close_Click();
    void SSTab1_Click(qint16 PreviousTab);
    void tx_command_KeyPress(qint16 KeyAscii);
    void cmd_send_command_Click();
    void cmd_clean_response_Click();
    void cmd_search_station_Click();
    void cmd_set_station_Click();
    void Timer1_Timer();
    void tx_position_settings_KeyPress(qint16 Index, qint16 KeyAscii);
    void tx_v_group_KeyPress(qint16 Index, qint16 KeyAscii);
    void cmd_setup_save_Click();
    void cmd_config_apply_Click();
    void cmd_mivo_enable_Click();
    void cmd_mivo_disable_Click();
    void cmd_mivo_home_Click();
    void cmd_start_move_Click();
    void cmd_stop_move_Click();
    void mnu_drive_backup_Click();
    void mnu_drive_compare_Click();
    void mnu_drive_restore_Click();
    void mnu_drive_run_test_Click();
    void mnu_line_reply_wait_Click();
    void mnu_line_reconnect_Toggled(bool on);

    // ConsoleView
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
    QString comm_text() const override;
    QString station_text() const override;
    QString command_text() const override;
    QString parameter_text(int group, int index) const override;
    int config_choice(int box) const override;
    bool ask_position() const override;
    bool ask_states() const override;
    MotionTexts motion_texts() const override;
    int page_in_front() const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void build_menu();
    void build_panes();
    // Fixed at the size it has always had while no pane is docked; with a
    // pane docked it grows to hold it and can be resized.
    void fit_to_panes();
    // Compare or restore with a file the user picks, then its report.
    void run_with_file(SettingsReportDialog::Kind kind);
    // "Back Up All...", "Compare All...", "Restore To All..." of the Line pane.
    void run_on_every_station(StationBatch::Kind kind);
    void connect_handlers();
    void on_page_changed(int page);
    // tx_position_settings(index) or tx_v_group(index); nullptr for others.
    QLineEdit* parameter_box(int group, int index) const;

    Console& console_;
    Form1Controls ui_;
    QDockWidget* wire_log_dock_ = nullptr;
    QDockWidget* recorder_dock_ = nullptr;
    QDockWidget* line_dock_ = nullptr;
    LinePane* line_pane_ = nullptr;
    WireLogPane* wire_log_pane_ = nullptr;
    RecorderPane* recorder_pane_ = nullptr;
    int page_in_front_ = kTerminalPage;
    bool closing_ = false;
    // A test recipe under way, which closing the window stops first.
    recipe::RecipeRun* recipe_run_ = nullptr;
    bool close_after_run_ = false;
};

}  // namespace mivo
