#pragma once

#include <QString>
#include <QtGlobal>

namespace mivo {

// Booleans kept the drive console's way, in 16-bit integers.
constexpr qint16 kTrue = -1;
constexpr qint16 kFalse = 0;

// The console's shared state, read and written by every handler. The
// console context owns the one instance; the exchange hands back what it
// read and the context records it here.
struct FormVariables {
    qint16 is_linked = kFalse;     // the serial port is open
    QString reply_value;           // value text of the last reply read
    QString rx_text;               // text last taken from the receive buffer
    QString last_command;          // command text last composed or sent
    qint16 move_running = kFalse;  // a two-point motion cycle is running
    qint16 station_num = 0;        // station selected last; 32 is broadcast
};

}  // namespace mivo
