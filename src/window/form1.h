#pragma once

#include "console/console_context.h"
#include "console/monitoring.h"
#include "console/motion.h"
#include "console/port_control.h"
#include "console/settings.h"
#include "console/stations.h"
#include "console/terminal.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "link/serial_port.h"
#include "window/controls.h"

#include <QWidget>

#include <memory>

namespace mivo {

// The console's one window. Its handlers are named after their control and
// event and stay thin: the logic lives in the console classes they call.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // The window owns the port; without one it opens real serial ports.
    explicit Form1(std::unique_ptr<SerialPort> port = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    const Form1Controls& controls() const { return ui_; }
    FormVariables& vars() { return vars_; }
    CommandExchange& exchange() { return exchange_; }
    SerialPort& MSComm1() { return *port_; }

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

    // Procedures the handlers share.
    void close_timer1();
    void search_and_show_all_station();
    void Delay_and_Trigger_Timer1(qint32 msecond);
    bool get_and_show_RV_Group(qint16 RV_Group_num);
    void update_states();
    void update_DI_states();
    QStringList get_All_and_show_P_group();
    QStringList get_All_and_show_V_group();
    void get_and_show_MIVO_config();
    void set_new_config();

    // The rules that decide which controls and pages can be used.
    const Availability& availability() const { return context_.availability; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void connect_handlers();
    void show_message(const QString& text);
    void on_page_changed(int page);
    void apply_availability(const Availability::State& state);

    std::unique_ptr<SerialPort> port_;
    Form1Controls ui_;
    FormVariables vars_;
    CommandExchange exchange_;
    ConsoleContext context_;
    PortControl port_control_;
    Terminal terminal_;
    Monitoring monitoring_;
    Stations stations_;
    Settings settings_;
    Motion motion_;
    int page_in_front_ = kTerminalPage;
    bool closing_ = false;
};

}  // namespace mivo
