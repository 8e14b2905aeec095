#pragma once

#include "console/console_view.h"
#include "console/station_batch.h"
#include "window/controls.h"

#include <QMainWindow>

#include <memory>

class QDockWidget;

namespace mivo {

class CapturePane;
class Console;
class DriveMenu;
class LinePane;
class RecorderPane;
class WindowView;
class WireLogPane;

// The console's one window, a view of the console core. Its handlers are
// named after their control and event and only forward: the logic lives in
// the console. The window follows the console's state (StateFollower) and
// gives it messages and questions (WindowView); the menus' flows are
// DriveMenu's.
class Form1 : public QMainWindow {
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
    QDockWidget* capture_dock() const { return capture_dock_; }
    CapturePane& capture_pane() const { return *capture_pane_; }

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
    void mnu_drive_station_mode_Click();
    void mnu_drive_results_Click();
    void mnu_line_reply_wait_Click();
    void mnu_line_reconnect_Toggled(bool on);

    // What the console shows on the window.
    ConsoleView& view() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void build_menu();
    void build_panes();
    // Fixed at the size it has always had while no pane is docked; with a
    // pane docked it grows to hold it and can be resized.
    void fit_to_panes();
    void connect_handlers();
    void on_page_changed(int page);

    Console& console_;
    Form1Controls ui_;
    QDockWidget* wire_log_dock_ = nullptr;
    QDockWidget* recorder_dock_ = nullptr;
    QDockWidget* line_dock_ = nullptr;
    LinePane* line_pane_ = nullptr;
    WireLogPane* wire_log_pane_ = nullptr;
    RecorderPane* recorder_pane_ = nullptr;
    CapturePane* capture_pane_ = nullptr;
    QDockWidget* capture_dock_ = nullptr;
    QAction* capture_item_ = nullptr;
    int page_in_front_ = 0;
    bool closing_ = false;
    std::unique_ptr<WindowView> view_;
    std::unique_ptr<DriveMenu> drive_menu_;
};

}  // namespace mivo
