#include "console/link_guard.h"

#include "console/console_context.h"

namespace mivo {

LinkGuard::LinkGuard(ConsoleContext& context) : c_(context), session_(context.link_session)
{
    ++c_.link_holders;
}

LinkGuard::LinkGuard(const LinkGuard& other) : c_(other.c_), session_(other.session_)
{
    ++c_.link_holders;
}

LinkGuard::~LinkGuard()
{
    --c_.link_holders;
}

bool LinkGuard::up() const
{
    return c_.vars.is_linked == kTrue && session_ == c_.link_session && c_.exchange.link_up();
}

CommandExchange::Sent LinkGuard::send_mivo_command(const QString& command)
{
    if (!up())
        return {};
    c_.vars.last_command = command;
    CommandExchange::Sent sent = c_.exchange.send_mivo_command(command);
    c_.vars.rx_text = sent.rx_text;
    return sent;
}

CommandExchange::Reply LinkGuard::get_mivo_response(const QString& command, const QString& replace_target)
{
    if (!up())
        return {};
    CommandExchange::Reply reply = c_.exchange.get_mivo_response(command, replace_target);
    c_.vars.rx_text = reply.rx_text;
    c_.vars.reply_value = reply.value;
    return reply;
}

bool LinkGuard::Check_MIVO_response(const QString& check_command)
{
    if (!up())
        return false;
    c_.vars.rx_text.clear();
    c_.vars.last_command.clear();
    // check_command may be last_command itself, empty by now.
    c_.vars.last_command = check_command + u'\r';
    const CommandExchange::PromptCheck check = c_.exchange.Check_MIVO_response(c_.vars.last_command);
    c_.vars.rx_text = check.rx_text;
    return check.prompt;
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
    c_.vars.rx_text.clear();
    return c_.exchange.empty_receive_buffer();
}

void LinkGuard::start_timer1()
{
    if (up() && c_.poll_holds == 0)
        c_.Timer1.start();
}

}  // namespace mivo
