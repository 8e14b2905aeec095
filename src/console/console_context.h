#pragma once

#include "console/availability.h"
#include "console/console_state.h"
#include "console/form_variables.h"
#include "console/recorder.h"
#include "link/command_exchange.h"

#include <QString>
#include <QTimer>

namespace mivo {

class ConsoleView;
class LinkGuard;
class SerialPort;

// What the logic behind the handlers works with: the port and its exchange,
// the view, the form-level variables, the poll timer, and the rules that say
// which controls can be used.
class ConsoleContext {
public:
    static constexpr int kPollIntervalMs = 500;

    ConsoleContext(SerialPort& port, CommandExchange& exchange);
    ConsoleContext(const ConsoleContext&) = delete;
    ConsoleContext& operator=(const ConsoleContext&) = delete;

    SerialPort& MSComm1;
    CommandExchange& exchange;
    FormVariables vars;
    Availability availability;
    // The poll. Its interval is a lower bound: a coarse timer may fire up
    // to 5 % early, so it is a precise one.
    QTimer Timer1;
    // What the poll's ticks read, for looking back.
    Recorder recorder;
    // What front ends follow.
    ConsoleState state;

    ConsoleView& view() const { return *view_; }
    // nullptr: no view (shows nothing, reads empty text).
    void set_view(ConsoleView* view);

    // The last station selection chose broadcast mode (a text of value 32
    // exactly; "31.5" selects station 32 in normal mode).
    bool broadcast_selected = false;

    // Counts successful opens, so that a handler that waited through a
    // "Close" and a new "Open" can tell it is no longer on its own link.
    quint64 link_session = 0;
    // Handlers and operations under way (their LinkGuards): while any is,
    // the event loop that runs is some handler's wait, not the idle one.
    int link_holders = 0;
    // A broadcast motion cycle between two moves, where the line is free
    // for a moment although the cycle's handler runs.
    bool between_broadcast_moves = false;
    // Actions that keep the poll off for their length (OperationScope).
    int poll_holds = 0;

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
    ConsoleView* view_;
};

}  // namespace mivo
