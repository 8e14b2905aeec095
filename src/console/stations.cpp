#include "console/stations.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QCoreApplication>

namespace mivo {

void Stations::search_click()
{
    c_.report([](Availability& a) { a.search_started(); });
    const bool finished = search_and_show_all_station();
    // When the link went away mid-sweep, "Close" (or the loss) has already
    // told the user.
    if (finished)
        c_.tell(QStringLiteral("Search finished."));
    c_.report([](Availability& a) { a.search_ended(); });
}

bool Stations::search_and_show_all_station()
{
    const WireSource tag(c_.exchange, QStringLiteral("search"));
    LinkGuard link = c_.hold_link();

    c_.Timer1.stop();
    c_.view().clear_station_list();
    QList<int> found;
    // Also a "Close" and a new "Open" between two probes end the sweep: the
    // new link gets no probe of the old one.
    for (int n = protocol::kFirstStation; n <= protocol::kLastStation && link.up(); ++n) {
        c_.view().show_station_text(QString::number(n));
        link.Check_MIVO_response(protocol::station_probe_line(n));
        link.Delay(c_.exchange.reply_wait_ms());
        // A present drive answers the empty line with its prompt; handing in
        // last_command sends a CR alone.
        const bool present = link.Check_MIVO_response(c_.vars.last_command);
        if (!link.up())
            break;
        if (present) {
            c_.view().append_station(n);
            found << n;
        }
        QCoreApplication::processEvents();
    }
    const bool finished = link.up();
    // A sweep cut short must not leave a list that looks complete.
    if (finished) {
        c_.view().append_station(protocol::kBroadcastStation);
        c_.state.set_found_stations(found);
    } else
        c_.view().clear_station_list();
    c_.view().show_station_text(QString());
    return finished;
}

void Stations::set_station_click()
{
    select(c_.view().station_text(), false);
}

void Stations::select(const QString& text, bool quiet)
{
    const DriveOperations::Selection selection = operations_.select_station(text);
    using Failure = DriveOperations::Failure;
    if (selection.failure == Failure::Refused) {
        if (!quiet)
            c_.tell(QStringLiteral("Type a station number: 0 to 31, or 32 for all stations."));
        return;
    }
    if (selection.failure == Failure::LinkLost || selection.failure == Failure::Interrupted)
        return;
    LinkGuard link = c_.hold_link();
    if (!selection.broadcast) {
        if (!quiet)
            c_.tell(selection.version ? QStringLiteral("Set OK.")
                                      : QStringLiteral("Station %1 did not answer.").arg(text.trimmed()));
        if (!link.up())
            return;
        c_.report([](Availability& a) { a.station_selected(Availability::Mode::Normal); });
        link.start_timer1();
        return;
    }
    link.start_timer1();
    c_.report([](Availability& a) { a.station_selected(Availability::Mode::Broadcast); });
    if (quiet)
        return;
    c_.tell(QStringLiteral("Switch to Broadcast Mode."));
    c_.tell(QStringLiteral("States wiil not response!"));
}

}  // namespace mivo
