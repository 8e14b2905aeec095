#include "console/stations.h"

#include "console/console_context.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "window/controls.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

namespace mivo {

void Stations::search_click()
{
    // Selecting a station in the middle of the sweep would mix its exchange
    // into the probes and leave the line on another station than the list
    // suggests, so the station controls wait for the sweep too.
    c_.ui.cmd_search_station->setEnabled(false);
    c_.ui.cmd_set_station->setEnabled(false);
    c_.ui.cbb_station_num->setEnabled(false);

    const bool finished = search_and_show_all_station();

    // When the link went away mid-sweep, "Close" (or the loss) has already
    // told the user and left these controls disabled for the closed port.
    if (!finished)
        return;
    c_.show_message(QStringLiteral("Search finished."));
    if (c_.vars.is_linked == kTrue) {
        c_.ui.cmd_search_station->setEnabled(true);
        c_.ui.cmd_set_station->setEnabled(true);
        c_.ui.cbb_station_num->setEnabled(true);
    }
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
    append_station(protocol::kBroadcastStation);
    list->setEditText(QString());
    return finished && link_up();
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
