// bridge: the line on an MQTT broker until SIGINT or SIGTERM.
#include "bridge/bridge.h"
#include "cli/commands/commands.h"
#include "cli/job.h"

#include <QCoreApplication>

namespace mivo::cli {

int bridge_line(Job& job)
{
    return bridge_stations(job, job.answering_stations());
}

int bridge_stations(Job& job, const QList<int>& stations)
{
    if (stations.isEmpty()) {
        tell(QStringLiteral("no station to bridge"));
        return kNoAnswer;
    }
    // A signal is how a bridge ends: a clean end, not a failure.
    job.signal_ends_run = true;
    job.signal_is_clean_end = true;
    if (job.interruption.signal_number())
        return kSuccess;
    bridge::Bridge bridge(job.console, job.inv.bridge, stations);
    // Queued: a broker that refuses at once may end the bridge before the
    // event loop runs, when an exit would be lost.
    QObject::connect(
        &bridge, &bridge::Bridge::ended, &bridge, [](int status) { QCoreApplication::exit(status); },
        Qt::QueuedConnection);
    QObject::connect(&job.interruption, &Interruption::interrupted, &bridge, &bridge::Bridge::finish);
    // A lost line and its return are told once each, by the port and the
    // reconnection; the console's longer message for a window is left out.
    ConsoleView* const view = &job.console.view();
    job.console.set_view(nullptr);
    bridge.start();
    const int status = QCoreApplication::exec();
    job.console.set_view(view);
    return status;
}

}  // namespace mivo::cli
