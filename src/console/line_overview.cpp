#include "console/line_overview.h"

#include "console/console_context.h"
#include "console/line_operations.h"
#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "console/recorder.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"

#include <QElapsedTimer>

namespace mivo {

LineOverview::LineOverview(ConsoleContext& context, LineOperations& line) : c_(context), line_(line)
{
    look_timer_.setInterval(kLookMs);
    connect(&look_timer_, &QTimer::timeout, this, &LineOverview::look);
    connect(&c_.state, &ConsoleState::stations_found, this, &LineOverview::set_stations);
    connect(&c_.state, &ConsoleState::station_changed, this, [this](int station, bool broadcast) {
        if (!broadcast && station >= protocol::kFirstStation && station <= protocol::kLastStation)
            add_station(station);
    });
}

void LineOverview::set_active(bool on)
{
    active_ = on;
    if (!on) {
        look_timer_.stop();
        return;
    }
    for (Row& row : rows_)
        row = Row{row.station, false, 0, row.version, {}, {}, {}, 0, 0, {}};
    emit rows_reset();
    look_timer_.start();
}

void LineOverview::set_stations(const QList<int>& stations)
{
    rows_.clear();
    for (const int s : stations)
        rows_.append(Row{s, false, 0, {}, {}, {}, {}, 0, 0, {}});
    next_ = 0;
    emit rows_reset();
}

void LineOverview::add_station(int station)
{
    for (const Row& row : std::as_const(rows_))
        if (row.station == station)
            return;
    qsizetype at = 0;
    while (at < rows_.size() && rows_[at].station < station)
        ++at;
    rows_.insert(at, Row{station, false, 0, {}, {}, {}, {}, 0, 0, {}});
    if (next_ > at)
        ++next_;
    emit rows_reset();
}

qint64 LineOverview::line_time_left() const
{
    // The window's poll keeps its tick: a go ends at the latest a little
    // after the next one was due.
    if (c_.poll.running())
        return c_.poll.remaining_ms() + kTickSlackMs;
    return kLongestGoMs;
}

void LineOverview::look()
{
    if (!active_ || rows_.isEmpty() || !c_.vars.is_linked || c_.exchange.is_stopped())
        return;
    // Only the idle event loop, or a broadcast cycle between its moves: any
    // other handler may be in the middle of its lines.
    const bool idle = c_.link_holders() == 0 && !c_.availability.busy();
    if (!idle && !(c_.between_broadcast_moves && c_.link_holders() == 1))
        return;
    // Each line may take the reply wait; the window's select line must
    // still fit after the last one.
    const qint64 line_ms = c_.exchange.reply_wait_ms();
    const qint64 budget = line_time_left();
    if (budget < 2 * line_ms)
        return;
    const WireSource tag(c_.exchange, QStringLiteral("line"));
    const LinkGuard link = c_.hold_link();
    const bool fast = c_.exchange.is_fast();
    // A reply ends at its prompt; the reply wait is the limit.
    c_.exchange.set_fast(true);
    QElapsedTimer clock;
    clock.start();
    const auto room = [&] { return budget - clock.elapsed() >= 2 * line_ms; };
    bool read_any = false;
    for (qsizetype n = 0; n < rows_.size() && link.up() && room(); ++n) {
        read_next(room);
        read_any = true;
    }
    // The window's station again before anything else goes to the line.
    if (read_any && link.up())
        reselect();
    c_.exchange.set_fast(fast);
}

void LineOverview::read_next(const std::function<bool()>& room)
{
    if (next_ >= rows_.size())
        next_ = 0;
    const int index = next_++;
    Row& row = rows_[index];
    const LineOperations::Round round = line_.read_round(row.station, !row.version, room);
    // Out of time: the round goes on with this station next time.
    if (round.cut_short) {
        --next_;
        return;
    }
    bool answered = round.selected;
    if (answered) {
        if (!row.version)
            row.version = round.version;
        row.position = Recorder::position_of(round.position);
        row.state = Recorder::state_of(round.state);
        row.inputs = Recorder::inputs_of(round.inputs);
        answered = round.position || round.state || round.inputs;
    }
    ++row.asked;
    if (answered) {
        ++row.answered;
        row.misses = 0;
        row.lost = false;
        row.last_seen = QDateTime::currentDateTime();
    } else if (++row.misses >= kLostAfterRounds) {
        row.lost = true;
    }
    emit row_changed(index);
}

void LineOverview::reselect()
{
    const std::optional<int> station = c_.state.station();
    if (!station)
        return;  // the window has selected none on this link
    line_.reselect(*station);
}

}  // namespace mivo
