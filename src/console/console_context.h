#pragma once

#include <QString>

#include <functional>

namespace mivo {

struct Form1Controls;
struct FormVariables;
class CommandExchange;
class SerialPort;

// What the logic behind the window's handlers works with: the controls, the
// window's shared variables, the port and the exchange, and the message box.
struct ConsoleContext {
    Form1Controls& ui;
    FormVariables& vars;
    SerialPort& MSComm1;
    CommandExchange& exchange;
    std::function<void(const QString&)> show_message;

    // Counts successful opens, so that a handler that waited through a
    // "Close" and a new "Open" can tell it is no longer on its own link.
    quint64 link_session = 0;

    // The link this handler started on is still open.
    bool link_still_up(quint64 session) const;
};

}  // namespace mivo
