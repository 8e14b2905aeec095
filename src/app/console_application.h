#pragma once

#include "console/console.h"
#include "link/serial_port.h"
#include "window/form1.h"

#include <memory>

namespace mivo {

// The program put together: a serial port, the console core on it, and the
// window as its view. Members are built in this order and go in reverse,
// the window first.
class ConsoleApplication {
public:
    // Without a port the console opens the system's serial ports.
    explicit ConsoleApplication(std::unique_ptr<SerialPort> port = nullptr);
    ~ConsoleApplication();
    ConsoleApplication(const ConsoleApplication&) = delete;
    ConsoleApplication& operator=(const ConsoleApplication&) = delete;

    SerialPort& port() { return *port_; }
    Console& console() { return console_; }
    Form1& window() { return window_; }

private:
    std::unique_ptr<SerialPort> port_;
    Console console_;
    Form1 window_;
};

}  // namespace mivo
