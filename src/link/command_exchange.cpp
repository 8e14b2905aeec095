#include "link/command_exchange.h"

#include "link/serial_port.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

void CommandExchange::Delay(qint32 msecond)
{
    wait_with_events(msecond, &shut_down_);
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
        vars_.rx_text = read_text();
        vars_.rx_text.clear();
        return;
    }

    // Homing: the drive sends its prompt when the run has finished.
    QElapsedTimer clock;
    clock.start();
    QString accumulated;
    do {
        vars_.rx_text = read_text();
        accumulated += vars_.rx_text;
        Delay(kPollStepMs);
        QCoreApplication::processEvents();
    } while (!accumulated.contains(kPrompt) && clock.elapsed() <= kHomingLimitMs && link_up());
}

void CommandExchange::get_mivo_response(QString command, const QString& replace_target)
{
    write_text(command + kCr);
    Delay_abs(kReplyWaitMs);
    vars_.rx_text = read_text();
    vars_.reply_value = protocol::remove_target(protocol::value_line(vars_.rx_text), replace_target);
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

    QElapsedTimer clock;
    clock.start();
    do {
        vars_.rx_text = read_text();
        accumulated += vars_.rx_text;
        Delay(kPollStepMs);
        if (accumulated.contains(kPrompt))
            result = true;
    } while (!result && clock.elapsed() <= kPromptWindowMs && link_up());
    return result;
}

}  // namespace mivo
