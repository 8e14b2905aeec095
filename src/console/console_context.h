#pragma once

#include "console/availability.h"
#include "console/console_state.h"
#include "console/form_variables.h"
#include "console/poll_gate.h"
#include "console/recorder.h"
#include "link/command_exchange.h"

#include <QString>

namespace mivo {

class ConsoleView;
class LinkGuard;
class SerialPort;

// What the logic behind the handlers works with: the port and its exchange,
// the view, the form-level variables, the poll's gate, and the rules that
// say which controls can be used.
class ConsoleContext {
public:
    ConsoleContext(SerialPort& port, CommandExchange& exchange);
    ConsoleContext(const ConsoleContext&) = delete;
    ConsoleContext& operator=(const ConsoleContext&) = delete;

    SerialPort& MSComm1;
    CommandExchange& exchange;
    FormVariables vars;
    Availability availability;
    // The poll's one switch.
    PollGate poll;
    // What the poll's ticks read, for looking back.
    Recorder recorder;
    // What front ends follow.
    ConsoleState state;

    ConsoleView& view() const { return *view_; }
    // nullptr: no view (shows nothing, reads empty text).
    void set_view(ConsoleView* view);

    // The station the console works with, as a selection chose it: its
    // number (also in vars.station_num) and whether it is broadcast mode.
    void set_station(qint16 station, bool broadcast);
    // Broadcast mode: every drive obeys and none answers, so nothing is
    // polled and no write is acknowledged. Only a text of value 32 exactly
    // chooses it; "31.5" selects station 32 in normal mode.
    bool broadcast() const { return broadcast_; }

    // Counts successful opens, so that a handler that waited through a
    // "Close" and a new "Open" can tell it is no longer on its own link.
    quint64 link_session = 0;
    // Handlers and operations under way (their LinkGuards): while any is,
    // the event loop that runs is some handler's wait, not the idle one.
    int link_holders() const { return link_holders_; }
    // A broadcast motion cycle between two moves, where the line is free
    // for a moment although the cycle's handler runs.
    bool between_broadcast_moves = false;
    // A handler takes this at its start; it tells whether the link is still
    // the one the handler began on, and refuses to talk once it is not.
    LinkGuard hold_link();

    // Tells the availability rules what happened and applies the outcome:
    // report([](Availability& a) { a.link_opened(); }).
    template <typename Event>
    void report(Event&& event)
    {
        event(availability);
        apply_availability();
    }
    void apply_availability();

    // The guard of the drive-facing handlers: true while the port is open,
    // else shows message ("Link first!" or "Link First!") and gives false.
    bool linked_or_tell(const QString& message) const;
    // True when text can go on the wire as typed, one byte a character;
    // else tells the user which character cannot, naming the field if any.
    bool sendable_or_tell(const QString& text, const QString& field = {}) const;
    void tell(const QString& text) const;

private:
    friend class LinkGuard;

    ConsoleView* view_;
    bool broadcast_ = false;
    int link_holders_ = 0;
};

}  // namespace mivo
