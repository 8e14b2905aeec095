#include "console/link_guard.h"

#include "console/console_context.h"

namespace mivo {

LinkGuard::LinkGuard(ConsoleContext& context) : c_(context), session_(context.link_session)
{
    ++c_.link_holders_;
}

LinkGuard::LinkGuard(const LinkGuard& other) : c_(other.c_), session_(other.session_)
{
    ++c_.link_holders_;
}

LinkGuard::~LinkGuard()
{
    --c_.link_holders_;
}

bool LinkGuard::up() const
{
    return c_.vars.is_linked && session_ == c_.link_session && c_.exchange.link_up();
}

CommandExchange::Sent LinkGuard::send_mivo_command(const QString& command)
{
    if (!up())
        return {};
    c_.vars.last_command = command;
    return c_.exchange.send_mivo_command(command);
}

CommandExchange::Reply LinkGuard::get_mivo_response(const QString& command, const QString& replace_target)
{
    if (!up())
        return {};
    return c_.exchange.get_mivo_response(command, replace_target);
}

bool LinkGuard::Check_MIVO_response(const QString& check_command)
{
    if (!up())
        return false;
    c_.vars.last_command.clear();
    // check_command may be last_command itself, empty by now.
    c_.vars.last_command = check_command + u'\r';
    return c_.exchange.Check_MIVO_response(c_.vars.last_command).prompt;
}

void LinkGuard::Delay(qint32 msecond)
{
    if (up())
        c_.exchange.Delay(msecond);
}

QString LinkGuard::empty_receive_buffer()
{
    if (!up())
        return {};
    return c_.exchange.empty_receive_buffer();
}

}  // namespace mivo
