#pragma once

#include "link/wire_log.h"

#include <QString>

#include <atomic>

namespace mivo {

class SerialPort;

// Writing one command line and collecting its reply, the drive's way:
// write, wait a fixed time, read whatever has arrived. There is no queue and
// no retry. A reply that comes after its wait is not taken for the next
// line's: whatever waits in the buffer when a line is written belongs to
// earlier lines, and a value read that got no reply in time is owed one, up
// to its prompt, which the following reads set aside (unless it names their
// own entry). Both are logged as late. Every exchange hands back what it
// read that answers its own line.
//
// While the port is closed (closed by a handler that ran inside one of our
// waits, or lost with its adapter) nothing is written or read, and the
// event-processing waits end early, so that loops waiting for a prompt stop.
class CommandExchange {
public:
    // The window's reply wait, which is also the pause its handlers put
    // between lines; the prompt window of a check is twice the reply wait.
    static constexpr qint32 kReplyWaitMs = 50;
    static constexpr qint32 kPollStepMs = 5;
    static constexpr qint32 kMaxReplyWaitMs = 5000;
    static constexpr qint32 kHomingLimitMs = 600000;
    // An owed reply that has not come this long after its wait ended counts
    // as lost, with every one owed since: a drive that dropped a line must
    // not cost every read after it.
    static constexpr qint32 kLateReplyLimitMs = 250;

    // What send_mivo_command read and threw away (for "HM", all that came
    // during the wait), and what its last read took from the buffer.
    struct Sent {
        QString discarded;
        QString rx_text;
    };
    // What get_mivo_response read: the text taken from the buffer, the value
    // cut out of its first line, and whether that line was complete.
    struct Reply {
        QString rx_text;
        QString value;
        bool complete = false;
    };
    // Whether the prompt came back, and what the last read took.
    struct PromptCheck {
        bool prompt = false;
        QString rx_text;
    };

    explicit CommandExchange(SerialPort& port) : port_(port) {}

    // Writes a command and discards its reply 50 ms later; "HM" (exactly)
    // instead waits up to the homing limit for the drive's prompt.
    Sent send_mivo_command(const QString& command);
    // Writes a command and reads once 50 ms later; the value is the text of
    // the first reply line with every occurrence of replace_target removed.
    // A reply without a line end counts as no reply: the value is then empty.
    Reply get_mivo_response(const QString& command, const QString& replace_target);
    // Writes line as it is (its CR included) and tells whether the prompt
    // came back within the prompt window after a 50 ms pause.
    PromptCheck Check_MIVO_response(const QString& line);

    // Processes window events while it waits; ends early when the link
    // goes away, so every caller tests the link when it returns.
    void Delay(qint32 msecond);
    void Delay_abs(qint32 msecond);

    // How long a line waits for its reply (kReplyWaitMs unless set): a
    // converter or a radio link answers later than a drive on the bench.
    void set_reply_wait_ms(qint32 ms) { reply_wait_ms_ = qBound(1, ms, kMaxReplyWaitMs); }
    qint32 reply_wait_ms() const { return reply_wait_ms_; }
    qint32 prompt_window_ms() const { return 2 * reply_wait_ms_; }

    // The homing limit (kHomingLimitMs unless set): tests shorten it, the
    // command-line tool takes it from its user.
    void set_homing_limit_ms(qint32 limit) { homing_limit_ms_ = limit; }
    qint32 homing_limit_ms() const { return homing_limit_ms_; }

    // Fast mode, for the command-line tool: send_mivo_command (but "HM") and
    // get_mivo_response end once the drive's prompt has come after the
    // write, blocked on the port (no events processed) until each piece of
    // the reply arrives; a drive that sends none still gets the full reply
    // wait. Off by default.
    void set_fast(bool on) { fast_ = on; }
    bool is_fast() const { return fast_; }

    // The program is going away: waits that process events end at once and
    // nothing more is written. Safe to call from a signal handler: the line
    // in flight completes, the next one is not written.
    void shut_down() { shut_down_.store(true, std::memory_order_relaxed); }
    bool is_shut_down() const { return shut_down_.load(std::memory_order_relaxed); }
    // The same until resume(): a run being stopped (a test's "Stop", its
    // time limit, Ctrl-C) ends its waits at once, and once it has unwound
    // the line serves again, to switch the motor off. Safe to call from a
    // signal handler or another thread; that thread must also wake the
    // event loop, which may be blocked in a wait.
    void stop_waits() { stopped_.store(true, std::memory_order_relaxed); }
    void resume() { stopped_.store(false, std::memory_order_relaxed); }
    // Shut down, or stopped until resumed.
    bool is_stopped() const { return is_shut_down() || stopped_.load(std::memory_order_relaxed); }

    // The port is open and the exchange neither shut down nor stopped.
    bool link_up() const;

    // Reads everything received and gives it; the buffer is empty after.
    QString empty_receive_buffer() { return read_text(); }

    // Every write and every read that brought bytes goes into the log, if
    // there is one, tagged with the source the handler under way set.
    void set_wire_log(WireLog* log) { wire_log_ = log; }
    void set_source(const QString& source) { source_ = source; }
    const QString& source() const { return source_; }

    // Raw access for the terminal, which writes and reads the port itself:
    // it shows everything that came, late or not (an echo apart).
    void write_text(const QString& text);
    QString read_text();

    // Reads that brought the drive's bytes (an echo of our own line is not
    // the drive's): whether a line that came back answers at all.
    quint64 answers() const { return answers_; }

private:
    // Sets aside what waits in the buffer, writes command and its CR, then
    // reads: at the end of the reply wait, or in fast mode as soon as the
    // prompt has come. Gives what answers this line. A value read without a
    // complete reply is owed one.
    QString write_and_read(const QString& command, const QString& own_prefix, bool value_read);
    // The bytes waiting before a write: all of them earlier lines'.
    void set_aside_late();
    // How much of the start of bytes answers owed replies, each up to its
    // prompt; counts them off owed. A reply that begins with own_prefix (the
    // entry this line reads, "P3=") is taken as this line's own.
    static qsizetype late_part(const QByteArray& bytes, const QByteArray& own_prefix, int& owed);
    void log_read(const QByteArray& bytes, WireLog::Direction direction);
    // What the port has received, less an echo of the line just written: a
    // two-wire converter without echo suppression hands every line back
    // before the drive's reply. Bytes that may still be the start of the
    // echo are held until it is whole or is not one.
    QByteArray read_port();
    // Held bytes that did not become a whole echo: the drive's after all.
    QByteArray release_held();

    SerialPort& port_;
    std::atomic_bool shut_down_ = false;
    std::atomic_bool stopped_ = false;
    static_assert(std::atomic_bool::is_always_lock_free);
    bool fast_ = false;
    WireLog* wire_log_ = nullptr;
    QString source_;
    qint32 homing_limit_ms_ = kHomingLimitMs;
    qint32 reply_wait_ms_ = kReplyWaitMs;
    int owed_ = 0;
    qint64 owed_until_ = 0;  // tick count after which owed replies are lost
    QByteArray echo_;       // the line last written, until its echo is settled
    QByteArray echo_held_;  // received bytes that match the start of echo_
    quint64 answers_ = 0;
};

}  // namespace mivo
