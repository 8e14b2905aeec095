#include "console/stations.h"

#include "console/console_context.h"
#include "console/monitoring.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"
#include "window/controls.h"
#include "window/value_box.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

namespace mivo {

void Stations::search_click()
{
    c_.report([](Availability& a) { a.search_started(); });
    const bool finished = search_and_show_all_station();
    // When the link went away mid-sweep, "Close" (or the loss) has already
    // told the user.
    if (finished)
        c_.show_message(QStringLiteral("Search finished."));
    c_.report([](Availability& a) { a.search_ended(); });
}

bool Stations::search_and_show_all_station()
{
    const quint64 session = c_.link_session;
    auto link_up = [&] { return c_.link_still_up(session); };
    QComboBox* list = c_.ui.cbb_station_num;

    c_.ui.Timer1->stop();
    list->clear();
    bool finished = true;
    for (int n = protocol::kFirstStation; n <= protocol::kLastStation; ++n) {
        list->setEditText(QString::number(n));
        c_.exchange.Check_MIVO_response(protocol::station_probe_line(n));
        if (link_up())
            c_.exchange.Delay(CommandExchange::kReplyWaitMs);
        // A present drive answers the empty line with its prompt; the
        // exchange empties last_command before it reads it, so this sends a
        // CR alone.
        const bool present = link_up() && c_.exchange.Check_MIVO_response(c_.vars.last_command);
        if (!link_up()) {
            finished = false;
            break;
        }
        if (present)
            append_station(n);
        QCoreApplication::processEvents();
    }
    finished = finished && link_up();
    // A sweep cut short must not leave a list that looks complete.
    if (finished)
        append_station(protocol::kBroadcastStation);
    else
        list->clear();
    list->setEditText(QString());
    return finished;
}

void Stations::set_station_click()
{
    const QString text = c_.ui.cbb_station_num->currentText();
    const std::optional<qint16> station = protocol::to_int16(text);
    // Text that is no number would still go out in the select line and
    // leave the drives on some station nobody chose; refuse it first.
    if (!station) {
        c_.show_message(QStringLiteral("Type a station number: 0 to 31, or 32 for all stations."));
        return;
    }
    const bool broadcast = *protocol::parse_decimal(text) == protocol::kBroadcastStation;
    const quint64 session = c_.link_session;
    auto link_up = [&] { return c_.link_still_up(session); };

    c_.ui.Timer1->stop();
    // The select line goes out twice, text as typed.
    const QString line = protocol::station_select_line(text);
    for (int i = 0; i < 2; ++i) {
        c_.exchange.send_mivo_command(line);
        c_.exchange.Delay(CommandExchange::kReplyWaitMs);
        if (!link_up())
            return;
    }
    c_.vars.station_num = *station;

    if (!broadcast) {
        const bool answered = monitoring_.get_and_show_RV_Group(protocol::kValueVersion);
        if (!answered) {
            // The version shown belonged to the station selected before.
            c_.ui.lb_rv_feedback(protocol::kValueVersion)->setText(QString());
        }
        c_.show_message(answered ? QStringLiteral("Set OK.")
                                 : QStringLiteral("Station %1 did not answer.").arg(text.trimmed()));
        if (!link_up())
            return;
        c_.report([](Availability& a) { a.station_selected(Availability::Mode::Normal); });
        c_.start_timer1();
        return;
    }
    c_.start_timer1();
    c_.report([](Availability& a) { a.station_selected(Availability::Mode::Broadcast); });
    c_.show_message(QStringLiteral("Switch to Broadcast Mode."));
    c_.show_message(QStringLiteral("States wiil not response!"));
}

void Stations::append_station(int station)
{
    // Adding the first item to an editable combo box would also put it into
    // the text, which shows the sweep's progress instead.
    const QString text = c_.ui.cbb_station_num->currentText();
    c_.ui.cbb_station_num->addItem(QString::number(station));
    c_.ui.cbb_station_num->setEditText(text);
}

}  // namespace mivo
