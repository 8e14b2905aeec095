#pragma once

#include <QString>

namespace mivo {

class ConsoleContext;

// Opening and closing the serial port from "Open" and "Close", and the
// closed-link state when the port goes away by itself.
class PortControl {
public:
    static constexpr const char* kLineSettings = "115200,N,8,1";

    explicit PortControl(ConsoleContext& context) : c_(context) {}

    void open();   // "Open"
    void close();  // "Close"
    // Switches the poll timer off and returns once it reads as off; a tick
    // already under way is not waited for.
    void close_timer1();
    // The port was lost under us (it is already closed): bring the console
    // to the state "Close" leaves, and tell the user once.
    void link_lost(const QString& reason);

private:
    ConsoleContext& c_;
};

}  // namespace mivo
