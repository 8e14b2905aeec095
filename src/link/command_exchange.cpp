#include "link/command_exchange.h"

#include "link/serial_port.h"
#include "link/wire_log.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <thread>

namespace mivo {

namespace {
constexpr QChar kCr = u'\r';
constexpr QChar kPrompt = u'>';
}  // namespace

bool CommandExchange::link_up() const
{
    return !shut_down_ && port_.isOpen();
}

void CommandExchange::write_text(const QString& text)
{
    if (!link_up())
        return;
    const QByteArray bytes = text.toLatin1();
    // Logged as it goes out, so that a reply read meanwhile comes after it.
    if (wire_log_)
        wire_log_->append({QDateTime::currentMSecsSinceEpoch(), WireLog::Direction::ToDrive, bytes, source_});
    port_.write(bytes);
}

QString CommandExchange::read_text()
{
    if (!link_up())
        return {};
    const QByteArray bytes = port_.readAll();
    if (wire_log_ && !bytes.isEmpty())
        wire_log_->append({QDateTime::currentMSecsSinceEpoch(), WireLog::Direction::FromDrive, bytes, source_});
    // One character per received byte.
    return QString::fromLatin1(bytes);
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

QString CommandExchange::write_and_read(const QString& command)
{
    if (!fast_) {
        write_text(command + kCr);
        Delay_abs(kReplyWaitMs);
        return read_text();
    }
    // Bytes already waiting are some earlier reply's: the normal read would
    // hand them back too, but a prompt among them says nothing of this one.
    QString text = read_text();
    const qsizetype fresh = text.size();
    write_text(command + kCr);
    const Stopwatch clock;
    for (;;) {
        text += read_text();
        if (text.indexOf(kPrompt, fresh) >= 0 || clock.is_over(kReplyWaitMs) || !link_up())
            return text;
        std::this_thread::sleep_for(
            std::min<std::chrono::nanoseconds>(std::chrono::milliseconds(kFastPollStepMs), clock.time_left(kReplyWaitMs)));
    }
}

CommandExchange::Sent CommandExchange::send_mivo_command(const QString& command)
{
    Sent sent;
    if (command != protocol::home_line()) {
        sent.discarded = write_and_read(command);
        return sent;
    }

    write_text(command + kCr);
    Delay_abs(kReplyWaitMs);

    // Homing: the drive sends its prompt when the run has finished.
    const Stopwatch clock;
    do {
        sent.rx_text = read_text();
        sent.discarded += sent.rx_text;
        Delay(kPollStepMs);
        QCoreApplication::processEvents();
    } while (!sent.discarded.contains(kPrompt) && !clock.is_over(homing_limit_ms_) && link_up());
    return sent;
}

CommandExchange::Reply CommandExchange::get_mivo_response(const QString& command, const QString& replace_target)
{
    Reply reply;
    reply.rx_text = write_and_read(command);
    reply.value = protocol::remove_target(protocol::value_line(reply.rx_text), replace_target);
    reply.complete = reply.rx_text.contains(kCr);
    return reply;
}

CommandExchange::PromptCheck CommandExchange::Check_MIVO_response(const QString& line)
{
    PromptCheck check;
    QString accumulated;
    write_text(line);
    Delay(kReplyWaitMs);

    const Stopwatch clock;
    do {
        check.rx_text = read_text();
        accumulated += check.rx_text;
        Delay(kPollStepMs);
        if (accumulated.contains(kPrompt))
            check.prompt = true;
    } while (!check.prompt && !clock.is_over(kPromptWindowMs) && link_up());
    return check;
}

}  // namespace mivo
