#pragma once

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace mivo {

class Light;
class TranscriptBox;
class ValueBox;

// Every control of the window that the handlers touch, by its own name.
// Arrays keep the members' indices.
struct Form1Controls {
    // The menu bar; the controls below keep their places under it.
    QMenuBar* menu_bar = nullptr;
    QWidget* body = nullptr;
    // "Drive"
    QAction* mnu_drive_backup = nullptr;
    QAction* mnu_drive_compare = nullptr;
    QAction* mnu_drive_restore = nullptr;
    QAction* mnu_drive_run_test = nullptr;
    QAction* mnu_drive_station_mode = nullptr;
    QAction* mnu_drive_results = nullptr;
    QAction* mnu_line_reply_wait = nullptr;
    QAction* mnu_line_reconnect = nullptr;
    QAction* mnu_view_wire_log = nullptr;
    QAction* mnu_view_recorder = nullptr;
    QAction* mnu_view_line = nullptr;

    // "Communication"
    QComboBox* cbb_port_num = nullptr;
    QPushButton* cmd_port_open = nullptr;
    QPushButton* cmd_port_close = nullptr;
    QComboBox* cbb_station_num = nullptr;
    QPushButton* cmd_set_station = nullptr;
    QPushButton* cmd_search_station = nullptr;
    Light* sh_run = nullptr;

    // "States" and "DI States"
    Light* comm_state_light = nullptr;
    std::array<Light*, 8> mivo_state_light{};
    std::array<Light*, 5> mivo_DI_state_light{};

    // The value boxes lb_rv_feedback(0) "Position Feedback", (3) "CFG" and
    // (4) "MIVO Version:". The array has no other members: any other number
    // gives nullptr.
    ValueBox* lb_rv_feedback(int index) const;
    ValueBox* lb_rv_feedback_0 = nullptr;
    ValueBox* lb_rv_feedback_3 = nullptr;
    ValueBox* lb_rv_feedback_4 = nullptr;

    QTabWidget* SSTab1 = nullptr;

    // "Terminal"
    QLineEdit* tx_command = nullptr;
    QPushButton* cmd_send_command = nullptr;
    QPushButton* cmd_clean_response = nullptr;
    TranscriptBox* tx_response = nullptr;

    // "Motion"
    QLineEdit* tx_move_position_1 = nullptr;
    QLineEdit* tx_move_position_2 = nullptr;
    QLineEdit* tx_move_speed = nullptr;
    QLineEdit* tx_delay_1 = nullptr;
    QLineEdit* tx_delay_2 = nullptr;
    QPushButton* cmd_start_move = nullptr;
    QPushButton* cmd_stop_move = nullptr;
    QCheckBox* cb_ask_pfbk = nullptr;
    QCheckBox* cb_ask_states = nullptr;
    QPushButton* cmd_mivo_enable = nullptr;
    QPushButton* cmd_mivo_disable = nullptr;
    QPushButton* cmd_mivo_home = nullptr;

    // "Setup"
    std::array<QLineEdit*, 16> tx_position_settings{};
    std::array<QLineEdit*, 7> tx_v_group{};
    QPushButton* cmd_setup_save = nullptr;

    // "Config"
    std::array<QComboBox*, 6> cbb_config{};
    QPushButton* cmd_config_apply = nullptr;
};

inline ValueBox* Form1Controls::lb_rv_feedback(int index) const
{
    switch (index) {
    case 0: return lb_rv_feedback_0;
    case 3: return lb_rv_feedback_3;
    case 4: return lb_rv_feedback_4;
    default: return nullptr;
    }
}

}  // namespace mivo
