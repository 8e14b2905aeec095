#pragma once

#include "console/console_context.h"
#include "console/port_control.h"
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

    // Procedures the handlers share.
    void close_timer1();
    void search_and_show_all_station();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void connect_handlers();
    void show_message(const QString& text);
    void on_page_changed(int page);

    std::unique_ptr<SerialPort> port_;
    Form1Controls ui_;
    FormVariables vars_;
    CommandExchange exchange_;
    ConsoleContext context_;
    PortControl port_control_;
    Terminal terminal_;
    Stations stations_;
    int page_in_front_ = kTerminalPage;
    bool closing_ = false;
};

}  // namespace mivo
