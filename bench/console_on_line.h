#pragma once

// A console core opened on a line with a station selected, as the tool
// does, for the measurements of its operations.

#include "console/console.h"
#include "console/console_view.h"
#include "link/serial_port.h"

#include <QString>

namespace bench {

// A view that shows nothing.
struct CommView : mivo::ConsoleView {};

// "Open" on port_name, then the station selected; the poll stays off. False
// when the port did not open or the station did not answer.
inline bool open_and_select(mivo::Console& console, CommView& view, const QString& port_name, const QString& station)
{
    console.set_view(&view);
    console.port_control().open(port_name);
    const bool selected = console.MSComm1().isOpen() && console.operations().select_station(station).ok();
    console.Timer1().stop();
    return selected;
}

}  // namespace bench
