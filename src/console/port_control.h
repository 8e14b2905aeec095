#pragma once

#include <QString>

#include <functional>

namespace mivo {

class ConsoleContext;

// Opening and closing the serial port from "Open" and "Close", and the
// closed-link state when the port goes away by itself.
class PortControl {
public:
    static constexpr const char* kLineSettings = "115200,N,8,1";

    explicit PortControl(ConsoleContext& context) : c_(context) {}

    // "Open", on the port the user named (a number n for /dev/ttyUSB(n-1),
    // a device path or a network line).
    void open(const QString& comm_text);
    void close();  // "Close"
    // Opens the port of that system name as "Open" does; quiet leaves out
    // the messages. False when it could not be opened.
    bool open_named(const QString& port_name, bool quiet);
    // The name the port was last opened by, and the name to look for when it
    // comes back: a local device's /dev/serial/by-id/ name when it has one,
    // since its /dev/ttyUSBn name may go to another adapter.
    const QString& opened_name() const { return opened_name_; }
    const QString& lasting_name() const { return lasting_name_; }
    static QString lasting_name_of(const QString& port_name);
    // Switches the poll off; a tick already under way is not waited for.
    void close_timer1();
    // The port was lost under us (it is already closed): bring the console
    // to the state "Close" leaves, and tell the user once.
    void link_lost(const QString& reason, bool reconnecting = false);

    // Called by "Open" and "Close" before they act: the user takes the line
    // over from an automatic reconnection.
    void set_on_user_action(std::function<void()> f) { on_user_action_ = std::move(f); }
    // Whether a loss while reconnecting is old news: the user was told once
    // that the line is lost, and a line opened again that never answered
    // was not back.
    void set_loss_is_old_news(std::function<bool()> f) { loss_is_old_news_ = std::move(f); }

private:
    ConsoleContext& c_;
    QString opened_name_;
    QString lasting_name_;
    std::function<void()> on_user_action_;
    std::function<bool()> loss_is_old_news_;
};

}  // namespace mivo
