// watch: the poll's rows on one station, or a row a station round after
// round with --stations, until Ctrl-C or --count rows.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "console/link_guard.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

namespace mivo::cli {

namespace {

// A watch row as one JSON object on its own line.
QString json_line(qint64 time_ms, int station, const Recorder::Sample& sample)
{
    const QJsonObject row{{QStringLiteral("time_ms"), time_ms},
                          {QStringLiteral("station"), station},
                          {QStringLiteral("position"), json_or_null(sample.position)},
                          {QStringLiteral("state"), json_or_null(sample.state)},
                          {QStringLiteral("inputs"), json_or_null(sample.inputs)}};
    return QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact)) + u'\n';
}

// --reconnect: the line was lost; true once it is open again, false when it
// will not be tried again or a signal came.
bool wait_for_line(Job& job)
{
    Reconnection& reconnection = job.console.reconnection();
    if (!reconnection.trying())
        return false;
    QEventLoop gap;
    QObject::connect(&reconnection, &Reconnection::reconnected, &gap, &QEventLoop::quit);
    QObject::connect(&job.interruption, &Interruption::interrupted, &gap, &QEventLoop::quit);
    if (!job.interruption.signal_number())
        gap.exec();
    // The console selected its station again and polls: the rounds select their own.
    job.console.poll().stop();
    return job.linked() && !job.interruption.signal_number();
}

// Until the next round may begin, or a signal.
void pause(Job& job, qint64 ms)
{
    QEventLoop pause;
    QTimer::singleShot(int(ms) + 1, &pause, &QEventLoop::quit);
    QObject::connect(&job.interruption, &Interruption::interrupted, &pause, &QEventLoop::quit);
    pause.exec();
}

}  // namespace

int watch(Job& job)
{
    int rows = 0;
    Console& console = job.console;
    Recorder& recorder = console.recorder();
    recorder.clear();
    if (!job.inv.json)
        print_out(Recorder::csv_header() + u'\n');
    QObject::connect(&console.state(), &ConsoleState::sample_recorded, &job.interruption,
                     [&](const Recorder::Sample& sample) {
                         if (job.inv.json)
                             print_out(json_line(recorder.csv_row(sample).section(u',', 0, 0).toLongLong(),
                                                 job.station, sample));
                         else
                             print_out(recorder.csv_row(sample) + u'\n');
                         if (!standard_output_failure().isEmpty())
                             QCoreApplication::exit(kBadUsage);
                         else if (job.inv.count && ++rows >= *job.inv.count)
                             QCoreApplication::exit(kSuccess);
                     });
    // Both "FeedBack" boxes ticked: the poll reads position, states, inputs.
    console.monitoring().set_feedback(true, true);

    // Ctrl-C is how a watch ends: between ticks' rows, not in the middle of
    // the output, and not as a failure.
    job.interruption.set_stops_exchange(false);
    QObject::connect(&job.interruption, &Interruption::interrupted, &job.interruption,
                     [] { QCoreApplication::exit(kSuccess); });
    // The console has begun its tries when it will reconnect.
    console.reconnection().set_enabled(job.inv.reconnect);
    QObject::connect(&console.MSComm1(), &SerialPort::lost, &job.interruption, [&console] {
        if (!console.reconnection().trying())
            QCoreApplication::exit(kPortFailed);
    });

    // A signal before the watch began interrupted the selection.
    if (job.interruption.signal_number())
        return job.interruption.exit_status();
    job.signal_ends_run = true;
    console.poll().start(console.context().hold_link());
    const int status = QCoreApplication::exec();
    job.interruption.disconnect();
    console.state().disconnect(&job.interruption);
    console.monitoring().set_feedback(false, false);
    return status;
}

int watch_each(Job& job, const QList<int>& stations)
{
    Console& console = job.console;
    if (!job.inv.json)
        print_out(QStringLiteral("time_ms,station,position,state,inputs\n"));
    // Ctrl-C ends the watch after the row under way, as a single watch.
    job.interruption.set_stops_exchange(false);
    job.signal_ends_run = true;
    std::optional<int> status;
    QObject::connect(&job.interruption, &Interruption::interrupted, &job.interruption, [&] { status = kSuccess; });
    console.reconnection().set_enabled(job.inv.reconnect);
    QElapsedTimer clock;
    int rows = 0;
    while (!status) {
        QElapsedTimer round;
        round.start();
        bool lost = false;
        console.station_batch().each(stations, [&](int station, const DriveOperations::Selection&) {
            job.station = station;
            const DriveOperations::Status s = console.operations().read_status();
            // The loss reaches the console through the event loop.
            QCoreApplication::processEvents();
            if (!job.linked()) {
                lost = true;
                return false;
            }
            if (!clock.isValid())
                clock.start();
            const qint64 time_ms = clock.elapsed();
            const Recorder::Sample sample{0, s.position, s.state, s.inputs};
            if (job.inv.json) {
                print_out(json_line(time_ms, station, sample));
            } else {
                // The recorder's row with the station after the time.
                const QString values = console.recorder().csv_row(sample).section(u',', 1);
                print_out(QStringLiteral("%1,%2,%3\n").arg(time_ms).arg(station).arg(values));
            }
            if (!standard_output_failure().isEmpty())
                status = kBadUsage;
            else if (job.inv.count && ++rows >= *job.inv.count)
                status = kSuccess;
            QCoreApplication::processEvents();
            return !status;
        });
        if (lost && !wait_for_line(job))
            status = job.interruption.signal_number() ? kSuccess : kPortFailed;
        // A round at most as often as the window's poll ticks.
        const qint64 left = console.poll().interval_ms() - round.elapsed();
        if (!status && left >= 0)
            pause(job, left);
    }
    job.interruption.disconnect(&job.interruption);
    return *status;
}

}  // namespace mivo::cli
