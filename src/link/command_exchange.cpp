#include "link/command_exchange.h"

#include "link/serial_port.h"
#include "link/wire_log.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>
#include <QDateTime>

#include <utility>

namespace mivo {

namespace {
constexpr QChar kCr = u'\r';
constexpr QChar kPrompt = u'>';
constexpr char kPromptByte = '>';
}  // namespace

bool CommandExchange::link_up() const
{
    return !is_stopped() && port_.isOpen();
}

void CommandExchange::write_text(const QString& text)
{
    if (!link_up())
        return;
    const QByteArray bytes = text.toLatin1();
    // Logged as it goes out, so that a reply read meanwhile comes after it.
    if (wire_log_)
        wire_log_->append({QDateTime::currentMSecsSinceEpoch(), WireLog::Direction::ToDrive, bytes, source_});
    // An echo comes back as the whole line, its CR included. A CR alone is
    // not told apart from a drive's empty line: it is left to the reply.
    echo_ = bytes.endsWith('\r') && bytes.size() > 1 ? bytes : QByteArray();
    echo_held_.clear();
    port_.write(bytes);
}

void CommandExchange::log_read(const QByteArray& bytes, WireLog::Direction direction)
{
    if (bytes.isEmpty())
        return;
    if (direction != WireLog::Direction::Echo)
        ++answers_;
    if (wire_log_)
        wire_log_->append({QDateTime::currentMSecsSinceEpoch(), direction, bytes, source_});
}

QByteArray CommandExchange::read_port()
{
    const QByteArray bytes = port_.readAll();
    if (echo_.isEmpty() || bytes.isEmpty())
        return bytes;
    const QByteArray received = echo_held_ + bytes;
    if (received.startsWith(echo_)) {
        log_read(echo_, WireLog::Direction::Echo);
        const qsizetype length = echo_.size();
        echo_.clear();
        echo_held_.clear();
        return received.mid(length);
    }
    if (echo_.startsWith(received)) {
        echo_held_ = received;
        return {};
    }
    echo_.clear();
    echo_held_.clear();
    return received;
}

QByteArray CommandExchange::release_held()
{
    if (!echo_held_.isEmpty())
        echo_.clear();
    return std::exchange(echo_held_, QByteArray());
}

QString CommandExchange::read_text()
{
    if (!link_up())
        return {};
    QByteArray bytes = read_port();
    bytes += release_held();
    log_read(bytes, WireLog::Direction::FromDrive);
    // The reader takes everything there is, owed replies included.
    owed_ = 0;
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

qsizetype CommandExchange::late_part(const QByteArray& bytes, const QByteArray& own_prefix, int& owed)
{
    qsizetype end = 0;
    while (owed > 0) {
        // A reply that names this line's entry is its own: the owed one was
        // lost, or is still to come.
        if (!own_prefix.isEmpty() && bytes.mid(end).startsWith(own_prefix))
            return end;
        const qsizetype prompt = bytes.indexOf(kPromptByte, end);
        if (prompt < 0)
            return bytes.size();
        end = prompt + 1;
        --owed;
    }
    return end;
}

void CommandExchange::set_aside_late()
{
    if (!link_up())
        return;
    if (owed_ > 0 && tick_count_ms() > owed_until_)
        owed_ = 0;
    QByteArray bytes = read_port();
    bytes += release_held();
    late_part(bytes, {}, owed_);
    log_read(bytes, WireLog::Direction::LateFromDrive);
}

namespace {
// The text that came while a prompt is awaited, as much of it as anyone
// needs: a line that streams meanwhile (a wait can last ten minutes) must
// neither grow the console nor cost it more for every byte already seen.
// Only new text is searched; what is kept is the end of the text up to the
// prompt, and what came with the prompt, each at most kKeptChars.
class PromptWatch {
public:
    static constexpr qsizetype kKeptChars = 1024;

    void add(const QString& text)
    {
        if (prompt_)
            return;
        const qsizetype at = text.indexOf(kPrompt);
        prompt_ = at >= 0;
        kept_ += prompt_ ? text.left(at + 1) : text;
        if (kept_.size() > kKeptChars)
            kept_.remove(0, kept_.size() - kKeptChars);
        if (prompt_)
            kept_ += text.mid(at + 1, kKeptChars);
    }
    bool prompt() const { return prompt_; }
    const QString& text() const { return kept_; }

private:
    QString kept_;
    bool prompt_ = false;
};

// A value line never begins with the prompt: prompts ahead of it closed an
// earlier line's reply (a write's, or one that came after its value line).
qsizetype past_prompts(const QByteArray& bytes, qsizetype from)
{
    qsizetype n = from;
    while (n < bytes.size() && bytes[n] == kPromptByte)
        ++n;
    return n;
}
}  // namespace

QString CommandExchange::write_and_read(const QString& command, const QString& own_prefix, bool value_read)
{
    set_aside_late();
    // Written while an earlier reply is still owed: if this line's own reply
    // does not come either, it is owed until the same deadline, so that a
    // dropped reply costs the reads of that time and no more.
    const bool owed_before = owed_ > 0;
    write_text(command + kCr);
    const QByteArray prefix = own_prefix.toLatin1();
    QByteArray bytes;
    qsizetype late = 0;
    int owed = owed_;
    if (!fast_) {
        Delay_abs(reply_wait_ms_);
        if (link_up())
            bytes = read_port();
        bytes += release_held();
        late = late_part(bytes, prefix, owed);
    } else {
        const Stopwatch clock;
        for (;;) {
            if (link_up())
                bytes += read_port();
            const bool over = clock.is_over(reply_wait_ms_) || !link_up();
            // What may still be the echo is no reply yet.
            if (echo_held_.isEmpty() || over) {
                bytes += release_held();
                owed = owed_;
                late = late_part(bytes, prefix, owed);
                // A read's own prompt comes after its value line.
                const qsizetype reply = value_read ? past_prompts(bytes, late) : late;
                if (bytes.indexOf(kPromptByte, reply) >= 0 || over)
                    break;
            }
            // Blocked on the port until its next bytes or the deadline.
            port_.waitForInput(clock.time_left(reply_wait_ms_));
        }
    }
    owed_ = owed;
    // Prompts and nothing after them are this read's answer without a value.
    if (value_read && past_prompts(bytes, late) < bytes.size())
        late = past_prompts(bytes, late);
    log_read(bytes.left(late), WireLog::Direction::LateFromDrive);
    log_read(bytes.mid(late), WireLog::Direction::FromDrive);
    const QString text = QString::fromLatin1(bytes.mid(late));
    // Its reply may still come, during the next line's wait: that one must
    // not take it for its own.
    if (value_read && !text.contains(kCr) && link_up()) {
        if (!owed_before)
            owed_until_ = tick_count_ms() + kLateReplyLimitMs;
        ++owed_;
    }
    return text;
}

CommandExchange::Sent CommandExchange::send_mivo_command(const QString& command)
{
    Sent sent;
    if (command != protocol::home_line()) {
        sent.discarded = write_and_read(command, {}, false);
        return sent;
    }

    // A prompt already waiting answers an earlier line, not the homing run.
    set_aside_late();
    write_text(command + kCr);
    Delay_abs(reply_wait_ms_);

    // Homing: the drive sends its prompt when the run has finished.
    const Stopwatch clock;
    PromptWatch watch;
    do {
        sent.rx_text = read_text();
        watch.add(sent.rx_text);
        Delay(kPollStepMs);
        QCoreApplication::processEvents();
    } while (!watch.prompt() && !clock.is_over(homing_limit_ms_) && link_up());
    sent.discarded = watch.text();
    return sent;
}

CommandExchange::Reply CommandExchange::get_mivo_response(const QString& command, const QString& replace_target)
{
    Reply reply;
    reply.rx_text = write_and_read(command, replace_target, true);
    reply.value = protocol::remove_target(protocol::value_line(reply.rx_text), replace_target);
    reply.complete = reply.rx_text.contains(kCr);
    return reply;
}

CommandExchange::PromptCheck CommandExchange::Check_MIVO_response(const QString& line)
{
    PromptCheck check;
    PromptWatch watch;
    write_text(line);
    Delay(reply_wait_ms_);

    const Stopwatch clock;
    do {
        check.rx_text = read_text();
        watch.add(check.rx_text);
        Delay(kPollStepMs);
        check.prompt = watch.prompt();
    } while (!check.prompt && !clock.is_over(prompt_window_ms()) && link_up());
    return check;
}

}  // namespace mivo
