#pragma once

#include <QString>
#include <QtGlobal>

namespace mivo {

// The old names of the two truth values, for callers that still compare
// with them; new code writes true and false.
constexpr bool kTrue = true;
constexpr bool kFalse = false;

// The console's shared state, read and written by every handler. The
// console context owns the one instance.
struct FormVariables {
    bool is_linked = false;      // the serial port is open
    QString last_command;        // command text last sent through a link guard
    bool move_running = false;   // a two-point motion cycle is running
    qint16 station_num = 0;      // station selected last (ConsoleContext::broadcast() tells the mode)
};

}  // namespace mivo
