#include "console/console_context.h"

#include "link/command_exchange.h"
#include "link/form_variables.h"
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

}  // namespace mivo
