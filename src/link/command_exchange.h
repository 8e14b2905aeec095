#pragma once

#include "link/form_variables.h"

#include <QString>

namespace mivo {

class SerialPort;

// Writing one command line and collecting its reply, the drive's way:
// write, wait a fixed time, read whatever has arrived. There is no queue and
// no matching of replies to commands; a late reply is taken by the next read.
//
// While the port is closed (closed by a handler that ran inside one of our
// waits, or lost with its adapter) nothing is written or read, and the
// event-processing waits end early, so that loops waiting for a prompt stop.
class CommandExchange {
public:
    static constexpr qint32 kReplyWaitMs = 50;
    static constexpr qint32 kPollStepMs = 5;
    static constexpr qint32 kPromptWindowMs = 100;
    static constexpr qint32 kHomingLimitMs = 600000;

    CommandExchange(SerialPort& port, FormVariables& vars);

    // Writes a command and discards its reply 50 ms later; "HM" (exactly)
    // instead waits up to ten minutes for the drive's prompt.
    void send_mivo_command(QString command);
    // Writes a command and leaves the text of its first reply line, with
    // every occurrence of replace_target removed, in reply_value. A reply
    // without a line end counts as no reply: reply_value is then empty and
    // the result false.
    bool get_mivo_response(QString command, const QString& replace_target);
    // Writes a command and tells whether the prompt came back within the
    // prompt window. last_command is emptied before check_command is read,
    // so handing in last_command itself sends a CR alone.
    bool Check_MIVO_response(const QString& check_command);

    // Processes window events while it waits; ends early when the link
    // goes away, so every caller tests the link when it returns.
    void Delay(qint32 msecond);
    void Delay_abs(qint32 msecond);

    // What the last send_mivo_command read and threw away (for "HM", all
    // that came during the wait): whether the drive answered at all.
    const QString& discarded_text() const { return discarded_; }

    // Tests shorten the homing limit instead of waiting ten minutes.
    void set_homing_limit_ms(qint32 limit) { homing_limit_ms_ = limit; }

    // The window is going away: waits that process events end at once and
    // nothing more is written.
    void shut_down() { shut_down_ = true; }
    bool is_shut_down() const { return shut_down_; }

    // The port is open and the window still there.
    bool link_up() const;

    // Reads everything received into rx_text and throws it away, leaving
    // rx_text empty; gives what was thrown away.
    QString empty_receive_buffer();

    // Raw access for the terminal, which writes and reads the port itself.
    void write_text(const QString& text);
    QString read_text();

private:
    SerialPort& port_;
    FormVariables& vars_;
    bool shut_down_ = false;
    QString discarded_;
    qint32 homing_limit_ms_ = kHomingLimitMs;
};

}  // namespace mivo
