#include "console/console_context.h"

#include "link/command_exchange.h"
#include "link/form_variables.h"

namespace mivo {

bool ConsoleContext::link_still_up(quint64 session) const
{
    return vars.is_linked == kTrue && session == link_session && exchange.link_up();
}

}  // namespace mivo
