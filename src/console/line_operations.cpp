#include "console/line_operations.h"

#include "console/console_context.h"
#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"

#include <QCoreApplication>

namespace mivo {

std::optional<QList<int>> LineOperations::search(const SweepSteps& steps)
{
    const WireSource tag(c_.exchange, QStringLiteral("search"));
    LinkGuard link = c_.hold_link();
    // The sweep selects every station in turn; whoever selects one afterwards
    // says when the poll goes on.
    c_.poll.stop();
    const bool quick = c_.exchange.is_fast();
    QList<int> found;
    for (int n = protocol::kFirstStation; n <= protocol::kLastStation && link.up(); ++n) {
        if (steps.probing)
            steps.probing(n);
        const bool present = quick ? quick_probe(link, n) : probe(link, c_.exchange.reply_wait_ms(), n);
        if (!link.up())
            break;
        if (present) {
            if (steps.found)
                steps.found(n);
            found << n;
        }
        QCoreApplication::processEvents();
    }
    if (!link.up())
        return std::nullopt;
    return found;
}

bool LineOperations::probe(LinkGuard& link, qint32 reply_wait_ms, int station)
{
    link.Check_MIVO_response(protocol::station_probe_line(station));
    link.Delay(reply_wait_ms);
    return link.Check_MIVO_response(QString());
}

bool LineOperations::quick_probe(LinkGuard& link, int station)
{
    // A station that does not take its selection would not answer the
    // empty line either: its one reply wait is all it costs.
    if (!link.send_mivo_command(protocol::station_probe_line(station)).discarded.contains(u'>'))
        return false;
    return link.up() && link.send_mivo_command(QString()).discarded.contains(u'>');
}

LineOperations::Round LineOperations::read_round(int station, bool with_version, const std::function<bool()>& room)
{
    Round r;
    const CommandExchange::Sent selected =
        c_.exchange.send_mivo_command(protocol::station_select_line(QString::number(station)));
    r.selected = selected.discarded.contains(u'>');
    // A station that does not answer its select line is not read: no reply
    // would come, and the line's time is the other stations'.
    if (!r.selected)
        return r;
    std::optional<QString>* const values[] = {&r.position, &r.state, &r.inputs};
    const qint16 groups[] = {protocol::kValuePosition, protocol::kValueState, protocol::kValueInputs};
    for (int i = 0; i < 3; ++i) {
        if (!room()) {
            r.cut_short = true;
            return r;
        }
        *values[i] = read(groups[i]);
    }
    if (with_version && room())
        r.version = read(protocol::kValueVersion);
    return r;
}

std::optional<QString> LineOperations::read(qint16 RV_Group_num)
{
    const CommandExchange::Reply r = c_.exchange.get_mivo_response(protocol::read_value_line(RV_Group_num), QString());
    return r.complete ? std::optional<QString>(r.value) : std::nullopt;
}

void LineOperations::reselect(int station)
{
    c_.exchange.send_mivo_command(protocol::station_select_line(QString::number(station)));
}

}  // namespace mivo
