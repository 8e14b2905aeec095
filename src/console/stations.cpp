#include "console/stations.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/line_operations.h"
#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "protocol/command_lines.h"

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
    ConsoleState& state = c_.state;
    state.set_station_list({});
    const std::optional<QList<int>> found = line_.search(
        {[&state](int n) { state.set_sweeping(n); },
         [&state](int n) { state.set_station_list(state.station_list() + QList<int>{n}); }});
    // A sweep cut short must not leave a list that looks complete.
    if (found) {
        state.set_station_list(*found + QList<int>{protocol::kBroadcastStation});
        state.set_found_stations(*found);
    } else {
        state.set_station_list({});
    }
    state.set_sweeping(std::nullopt);
    return found.has_value();
}

void Stations::set_station_click(const QString& station_text)
{
    select(station_text, false);
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
    const LinkGuard link = c_.hold_link();
    // The poll runs from the moment the station is known, also while the
    // message is up, and its interval begins anew once the user has read it.
    c_.poll.start(link);
    if (!selection.broadcast) {
        if (!quiet)
            c_.tell(selection.version ? QStringLiteral("Set OK.")
                                      : QStringLiteral("Station %1 did not answer.").arg(text.trimmed()));
        if (!link.up())
            return;
        c_.report([](Availability& a) { a.station_selected(Availability::Mode::Normal); });
        c_.poll.start(link);
        return;
    }
    c_.report([](Availability& a) { a.station_selected(Availability::Mode::Broadcast); });
    if (quiet)
        return;
    c_.tell(QStringLiteral("Switch to Broadcast Mode."));
    c_.tell(QStringLiteral("States wiil not response!"));
}

}  // namespace mivo
