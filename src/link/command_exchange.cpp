#include "link/command_exchange.h"

#include "link/serial_port.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>

#include <utility>

namespace mivo {

namespace {
constexpr QChar kCr = u'\r';
constexpr QChar kPrompt = u'>';
}  // namespace

CommandExchange::CommandExchange(SerialPort& port, FormVariables& vars) : port_(port), vars_(vars) {}

bool CommandExchange::link_up() const
{
    return !shut_down_ && port_.isOpen();
}

void CommandExchange::write_text(const QString& text)
{
    if (link_up())
        port_.write(text.toLatin1());
}

QString CommandExchange::read_text()
{
    if (!link_up())
        return {};
    // One character per received byte.
    return QString::fromLatin1(port_.readAll());
}

QString CommandExchange::empty_receive_buffer()
{
    vars_.rx_text = read_text();
    return std::exchange(vars_.rx_text, QString());
}

void CommandExchange::Delay(qint32 msecond)
{
    // A wait whose link went away (closed by a handler that ran inside it,
    // or lost) ends early; its caller sees the link down and stops.
    wait_with_events(msecond, [this] { return !link_up(); });
}

void CommandExchange::Delay_abs(qint32 msecond)
{
    wait_without_events(msecond);
}

void CommandExchange::send_mivo_command(QString command)
{
    vars_.last_command = command;
    write_text(command + kCr);
    Delay_abs(kReplyWaitMs);

    if (command != protocol::home_line()) {
        discarded_ = empty_receive_buffer();
        return;
    }

    // Homing: the drive sends its prompt when the run has finished.
    const Stopwatch clock;
    QString accumulated;
    do {
        vars_.rx_text = read_text();
        accumulated += vars_.rx_text;
        Delay(kPollStepMs);
        QCoreApplication::processEvents();
    } while (!accumulated.contains(kPrompt) && !clock.is_over(homing_limit_ms_) && link_up());
    discarded_ = accumulated;
}

bool CommandExchange::get_mivo_response(QString command, const QString& replace_target)
{
    write_text(command + kCr);
    Delay_abs(kReplyWaitMs);
    vars_.rx_text = read_text();
    vars_.reply_value = protocol::remove_target(protocol::value_line(vars_.rx_text), replace_target);
    return vars_.rx_text.contains(kCr);
}

bool CommandExchange::Check_MIVO_response(const QString& check_command)
{
    bool result = false;
    QString accumulated;
    vars_.rx_text.clear();
    vars_.last_command.clear();

    vars_.last_command = check_command + kCr;
    write_text(vars_.last_command);
    Delay(kReplyWaitMs);

    const Stopwatch clock;
    do {
        vars_.rx_text = read_text();
        accumulated += vars_.rx_text;
        Delay(kPollStepMs);
        if (accumulated.contains(kPrompt))
            result = true;
    } while (!result && !clock.is_over(kPromptWindowMs) && link_up());
    return result;
}

}  // namespace mivo
