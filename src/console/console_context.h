#pragma once

#include "console/availability.h"

#include <QString>

#include <functional>

namespace mivo {

struct Form1Controls;
struct FormVariables;
class CommandExchange;
class SerialPort;

// What the logic behind the window's handlers works with: the controls, the
// window's shared variables, the port and the exchange, the message box and
// the rules that say which controls can be used.
struct ConsoleContext {
    Form1Controls& ui;
    FormVariables& vars;
    SerialPort& MSComm1;
    CommandExchange& exchange;
    std::function<void(const QString&)> show_message;
    // Puts the enabled state of every control and page on the window.
    std::function<void(const Availability::State&)> apply_availability;

    Availability availability;

    // Counts successful opens, so that a handler that waited through a
    // "Close" and a new "Open" can tell it is no longer on its own link.
    quint64 link_session = 0;

    // The link this handler started on is still open.
    bool link_still_up(quint64 session) const;

    // Tells the availability rules what happened and applies the outcome:
    // report([](Availability& a) { a.link_opened(); }).
    template <typename Event>
    void report(Event&& event)
    {
        event(availability);
        apply_availability(availability.state());
    }

    // Switches Timer1 on, unless the link is closed: the poll never runs
    // while it is.
    void start_timer1();

    // The guard of the drive-facing handlers: true while the port is open,
    // else shows message ("Link first!" or "Link First!") and gives false.
    bool linked_or_tell(const QString& message) const;
    // True when text can go on the wire as typed, one byte a character;
    // else tells the user which character cannot, naming the field if any.
    bool sendable_or_tell(const QString& text, const QString& field = {}) const;
};

}  // namespace mivo
