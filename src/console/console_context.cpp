#include "console/console_context.h"

#include "console/console_view.h"
#include "console/link_guard.h"
#include "protocol/command_lines.h"

namespace mivo {

namespace {
// Shows nothing and reads nothing, until a front end gives its own view.
ConsoleView& no_view()
{
    static ConsoleView none;
    return none;
}
}  // namespace

ConsoleContext::ConsoleContext(SerialPort& port, CommandExchange& exchange_)
    : MSComm1(port), exchange(exchange_), view_(&no_view())
{
}

void ConsoleContext::set_view(ConsoleView* view)
{
    view_ = view ? view : &no_view();
}

void ConsoleContext::set_station(qint16 station, bool broadcast)
{
    vars.station_num = station;
    broadcast_ = broadcast;
    state.set_station(station, broadcast);
}

LinkGuard ConsoleContext::hold_link()
{
    return LinkGuard(*this);
}

void ConsoleContext::apply_availability()
{
    state.set_availability(availability.state());
    state.set_busy(availability.busy());
}

bool ConsoleContext::linked_or_tell(const QString& message) const
{
    if (vars.is_linked)
        return true;
    tell(message);
    return false;
}

bool ConsoleContext::sendable_or_tell(const QString& text, const QString& field) const
{
    // Such a character would go out as some other byte than the one shown.
    const QString reason = protocol::unsendable_reason(text);
    if (reason.isEmpty())
        return true;
    const QString what = reason + u'.';
    tell(field.isEmpty() ? what : field + QStringLiteral(": ") + what);
    return false;
}

void ConsoleContext::tell(const QString& text) const
{
    view().show_message(text);
}

}  // namespace mivo
