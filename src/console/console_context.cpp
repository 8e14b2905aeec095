#include "console/console_context.h"

#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "window/controls.h"

#include <QTimer>

namespace mivo {

bool ConsoleContext::link_still_up(quint64 session) const
{
    return vars.is_linked == kTrue && session == link_session && exchange.link_up();
}

void ConsoleContext::start_timer1()
{
    if (vars.is_linked == kTrue && exchange.link_up())
        ui.Timer1->start();
}

bool ConsoleContext::linked_or_tell(const QString& message) const
{
    if (vars.is_linked == kTrue)
        return true;
    show_message(message);
    return false;
}

bool ConsoleContext::sendable_or_tell(const QString& text, const QString& field) const
{
    // Such a character would go out as some other byte than the one shown.
    const QString bad = protocol::unsendable_character(text);
    if (bad.isEmpty())
        return true;
    const QString what =
        QStringLiteral("\"%1\" cannot be sent: a command line takes Latin-1 characters only.").arg(bad);
    show_message(field.isEmpty() ? what : field + QStringLiteral(": ") + what);
    return false;
}

}  // namespace mivo
