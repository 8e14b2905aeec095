#include "console/drive_operations.h"

#include "console/console_context.h"
#include "console/link_guard.h"
#include "console/console_view.h"
#include "console/poll_gate.h"
#include "console/recorder.h"
#include "console/settings_file.h"
#include "console/wire_source.h"
#include "link/waits.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <cmath>

namespace mivo {

namespace {

// The lights' names, bit 0 first.
constexpr const char* kStateBits[] = {"MF", "Fault", "SVON", "DIR", "NL", "PL", "HOME", "DO"};
constexpr const char* kInputBits[] = {"DI1", "DI2", "DI3", "NL"};

template <std::size_t N>
QStringList set_bits(quint32 word, const char* const (&names)[N])
{
    QStringList out;
    for (std::size_t bit = 0; bit < N; ++bit)
        if (word & (1u << bit))
            out << QLatin1String(names[bit]);
    return out;
}

}  // namespace

QStringList DriveOperations::state_bit_names(quint32 state)
{
    return set_bits(state, kStateBits);
}

QStringList DriveOperations::input_bit_names(quint16 inputs)
{
    return set_bits(inputs, kInputBits);
}

DriveOperations::Failure DriveOperations::link_failure() const
{
    return c_.exchange.is_stopped() ? Failure::Interrupted : Failure::LinkLost;
}

DriveOperations::Selection DriveOperations::select_station(const QString& station_text)
{
    const WireSource tag(c_.exchange, QStringLiteral("select"));
    Selection s;
    const std::optional<qint16> station = protocol::to_int16(station_text);
    // Text that is no number would still go out in the select line and
    // leave the drives on some station nobody chose.
    if (!station) {
        s.failure = Failure::Refused;
        return s;
    }
    s.station = *station;
    s.broadcast = *protocol::parse_decimal(station_text) == protocol::kBroadcastStation;
    LinkGuard link = c_.hold_link();
    if (!link.up()) {
        s.failure = link_failure();
        return s;
    }
    // Selecting switches the poll off; the caller decides when it goes on.
    c_.poll.stop();
    // The select line goes out twice, text as typed.
    const QString line = protocol::station_select_line(station_text);
    for (int i = 0; i < 2; ++i) {
        link.send_mivo_command(line);
        link.Delay(c_.exchange.reply_wait_ms());
        if (!link.up()) {
            s.failure = link_failure();
            return s;
        }
    }
    c_.set_station(*station, s.broadcast);
    if (s.broadcast)
        return s;
    s.version = read_version().value_line;
    c_.state.set_live_value(protocol::kValueVersion, s.version);
    if (!s.version)
        s.failure = link.up() ? Failure::NoAnswer : link_failure();
    return s;
}

DriveOperations::LiveValue DriveOperations::read_value(qint16 RV_Group_num)
{
    LiveValue v;
    LinkGuard link = c_.hold_link();
    const CommandExchange::Reply reply = link.get_mivo_response(protocol::read_value_line(RV_Group_num), QString());
    if (reply.complete)
        v.value_line = reply.value;
    else
        v.failure = link.up() ? Failure::NoAnswer : link_failure();
    return v;
}

DriveOperations::LiveValue DriveOperations::read_live_value(qint16 RV_Group_num)
{
    const LiveValue v = read_value(RV_Group_num);
    if (c_.hold_link().up())
        c_.state.set_live_value(RV_Group_num, v.value_line);
    return v;
}

DriveOperations::LiveValue DriveOperations::read_version()
{
    return read_value(protocol::kValueVersion);
}

DriveOperations::Status DriveOperations::read_status()
{
    const WireSource tag(c_.exchange, QStringLiteral("status"));
    Status s;
    const LiveValue position = read_live_value(protocol::kValuePosition);
    const LiveValue state = read_live_value(protocol::kValueState);
    const LiveValue inputs = read_live_value(protocol::kValueInputs);
    s.position = Recorder::position_of(position.value_line);
    s.state = Recorder::state_of(state.value_line);
    s.inputs = Recorder::inputs_of(inputs.value_line);
    if (!c_.hold_link().up())
        s.failure = link_failure();
    else if (!s.position && !s.state && !s.inputs)
        s.failure = Failure::NoAnswer;
    return s;
}

DriveOperations::EntryValue DriveOperations::read_entry(int entry)
{
    EntryValue v;
    if (entry < 0 || entry >= settings_file::kEntries) {
        v.failure = Failure::Refused;
        return v;
    }
    LinkGuard link = c_.hold_link();
    v.value = read_entry_on(link, entry);
    if (!v.value)
        v.failure = link.up() ? Failure::NoAnswer : link_failure();
    return v;
}

std::optional<qint16> DriveOperations::read_entry_on(LinkGuard& link, int entry)
{
    const int group = settings_file::group_of(entry);
    const int index = settings_file::index_of(entry);
    // A missing reply has an empty value, which is no number either.
    const CommandExchange::Reply reply =
        link.get_mivo_response(protocol::read_parameter_line(group, index), protocol::parameter_target(group, index));
    return protocol::to_int16(reply.value);
}

void DriveOperations::put_entry_on(LinkGuard& link, int entry, qint16 value)
{
    link.send_mivo_command(
        protocol::write_parameter_line(settings_file::group_of(entry), settings_file::index_of(entry), value));
}

DriveOperations::Groups DriveOperations::read_entries(int first, int last)
{
    Groups g;
    if (first < 0 || last >= settings_file::kEntries || first > last) {
        g.failure = Failure::Refused;
        return g;
    }
    LinkGuard link = c_.hold_link();
    const PollGate::Hold off(c_.poll, link, PollGate::After::On);
    for (int entry = first; entry <= last; ++entry) {
        // The reads process no events, but a port that fails under a write
        // is reported at once.
        if (!link.up()) {
            g.failure = link_failure();
            return g;
        }
        const std::optional<qint16> value = read_entry_on(link, entry);
        g.values << value;
        if (!value)
            g.missing << settings_file::name_of(entry);
    }
    if (!link.up())
        g.failure = link_failure();
    else if (g.missing.size() == g.values.size())
        g.failure = Failure::NoAnswer;
    return g;
}

DriveOperations::Result DriveOperations::put_entry(int entry, qint16 value)
{
    Result r;
    if (entry < 0 || entry >= settings_file::kEntries) {
        r.failure = Failure::Refused;
        return r;
    }
    LinkGuard link = c_.hold_link();
    return send_write(
        link, protocol::write_parameter_line(settings_file::group_of(entry), settings_file::index_of(entry), value));
}

DriveOperations::Result DriveOperations::send_write(LinkGuard& link, const QString& line)
{
    Result r;
    const CommandExchange::Sent sent = link.send_mivo_command(line);
    if (!link.up()) {
        r.failure = link_failure();
        return r;
    }
    // Under broadcast every drive obeys and none answers.
    if (c_.broadcast())
        return r;
    r.acknowledged = sent.discarded.contains(u'>');
    if (write_replies_ && !r.acknowledged)
        r.failure = Failure::NoAnswer;
    return r;
}

DriveOperations::Written DriveOperations::write_entry(int entry, qint16 value)
{
    const WireSource tag(c_.exchange, QStringLiteral("write"));
    Written w;
    if (entry < 0 || entry >= settings_file::kEntries) {
        w.failure = Failure::Refused;
        return w;
    }
    if (const Result put = put_entry(entry, value); !put.ok()) {
        w.failure = put.failure;
        return w;
    }
    const EntryValue back = read_entry(entry);
    w.failure = back.failure;
    w.read_back = back.value;
    w.taken = back.value == value;
    return w;
}

DriveOperations::Saved DriveOperations::save()
{
    const WireSource tag(c_.exchange, QStringLiteral("Save"));
    Saved s;
    LinkGuard link = c_.hold_link();
    const PollGate::Hold off(c_.poll, link, PollGate::After::Resume);
    const SaveAnswer answer = save_on(link);
    s.answered = answer.answered;
    if (!answer.link_up)
        s.failure = link_failure();
    else if (!s.answered)
        s.failure = Failure::NoAnswer;
    return s;
}

DriveOperations::SaveAnswer DriveOperations::save_on(LinkGuard& link)
{
    SaveAnswer a;
    if (!link.up())
        return a;
    a.sent = true;
    a.answered = !link.send_mivo_command(protocol::save_line()).discarded.isEmpty();
    link.Delay(kSaveWaitMs);
    // After a "Close" (and perhaps a new "Open") inside the wait nothing more
    // goes to the port, and only an answer that came before counts.
    a.link_up = link.up();
    if (a.link_up && !link.empty_receive_buffer().isEmpty())
        a.answered = true;
    return a;
}

DriveOperations::Result DriveOperations::apply_config(int word)
{
    const WireSource tag(c_.exchange, QStringLiteral("Apply"));
    Result r;
    LinkGuard link = c_.hold_link();
    const PollGate::Hold off(c_.poll, link, PollGate::After::On);
    link.send_mivo_command(protocol::write_config_line(word));
    link.Delay(c_.exchange.reply_wait_ms());
    link.send_mivo_command(protocol::save_line());
    link.Delay(kSaveWaitMs);
    if (!link.up()) {
        r.failure = link_failure();
        return r;
    }
    link.empty_receive_buffer();
    return r;
}

DriveOperations::Result DriveOperations::servo(bool on)
{
    const WireSource tag(c_.exchange, QStringLiteral("motion"));
    LinkGuard link = c_.hold_link();
    return send_write(link, protocol::enable_line(on));
}

DriveOperations::Homed DriveOperations::home(qint32 timeout_ms)
{
    const WireSource tag(c_.exchange, QStringLiteral("motion"));
    Homed h;
    if (timeout_ms < c_.exchange.reply_wait_ms()) {
        h.failure = Failure::Refused;
        return h;
    }
    LinkGuard link = c_.hold_link();
    const PollGate::Hold off(c_.poll, link, PollGate::After::Resume);
    const Stopwatch clock;
    const qint32 limit = c_.exchange.homing_limit_ms();
    c_.exchange.set_homing_limit_ms(timeout_ms);
    const CommandExchange::Sent sent = link.send_mivo_command(protocol::home_line());
    c_.exchange.set_homing_limit_ms(limit);
    h.time_ms = clock.elapsed();
    h.done = sent.discarded.contains(u'>');
    if (!link.up())
        h.failure = link_failure();
    else if (!h.done)
        h.failure = Failure::NoAnswer;
    return h;
}

DriveOperations::Moved DriveOperations::move(const MoveRequest& request, const std::function<void()>& before_move)
{
    const WireSource tag(c_.exchange, QStringLiteral("motion"));
    Moved m;
    LinkGuard link = c_.hold_link();
    if (request.speed) {
        const CommandExchange::Sent speed = link.send_mivo_command(protocol::speed_line(*request.speed));
        // A move at a speed the drive did not take would run at the old one.
        if (write_replies_ && link.up() && !c_.broadcast()
            && (!speed.discarded.contains(u'>') || protocol::value_line(speed.discarded).trimmed() == u"ERR")) {
            m.speed_refused = true;
            m.failure = Failure::Refused;
            return m;
        }
    }
    if (before_move) {
        before_move();
        if (!link.up()) {
            m.failure = link_failure();
            return m;
        }
    }
    const Stopwatch clock;
    const Result sent = send_write(link, protocol::move_line(request.position));
    m.acknowledged = sent.acknowledged;
    if (!sent.ok()) {
        m.failure = sent.failure;
        return m;
    }
    if (!request.wait)
        return m;
    // The position as often as the line gives it, until it is there, stands
    // still short of it, or the time is up.
    Stopwatch standing;
    bool answered = false;
    for (;;) {
        const LiveValue read = read_live_value(protocol::kValuePosition);
        m.time_ms = clock.elapsed();
        if (!link.up()) {
            m.failure = link_failure();
            return m;
        }
        const std::optional<double> now = Recorder::position_of(read.value_line);
        if (now) {
            answered = true;
            if (m.position != now)
                standing.restart();
            m.position = now;
            if (std::abs(*now - request.position) <= request.tolerance) {
                m.reached = true;
                return m;
            }
        }
        if (clock.is_over(request.timeout_ms) || (now && standing.is_over(kStallMs)))
            break;
    }
    if (!answered)
        m.failure = Failure::NoAnswer;
    return m;
}

DriveOperations::Sent DriveOperations::send_line(const QString& line)
{
    const WireSource tag(c_.exchange, QStringLiteral("terminal"));
    Sent s;
    if (!protocol::unsendable_character(line).isEmpty()) {
        s.failure = Failure::Refused;
        return s;
    }
    if (!c_.hold_link().up()) {
        s.failure = link_failure();
        return s;
    }
    c_.exchange.write_text(line + u'\r');
    c_.exchange.Delay_abs(c_.exchange.reply_wait_ms());
    s.received = c_.exchange.read_text();
    QString text = s.received;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString& l : text.split(u'\n', Qt::SkipEmptyParts))
        if (l != u">")
            s.lines << l;
    if (!c_.hold_link().up())
        s.failure = link_failure();
    return s;
}

}  // namespace mivo
