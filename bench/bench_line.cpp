// The "Line" pane through the real window, against mivo-drive-sim in a
// process of its own (replies after about 3 ms), the window's station
// polling with both "FeedBack" boxes ticked:
// - how often each station's row is refreshed (goal: 3 stations at least 4
//   times a second, 32 stations at least once a second);
// - the window's own tick period while the pane is shown (goal: 550 to 750
//   ms, as without the pane);
// - the process's CPU with the pane shown (goal: at most 3 % of a core);
// - the time a silent station takes to show "lost";
// - mivo-cli --stations 0-31 --fast backup against 32 single backups.
#include "poll_support.h"

#include "window/form1.h"

#include <QApplication>
#include <QAction>
#include <QDockWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace bench;

constexpr int kRunMs = 10000;

void measure_pane(const QStringList& stations, int silent)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("line"));
    QProcess sim;
    QStringList args{QStringLiteral("--stations"), (stations + QStringList{QString::number(silent)}).join(u',')};
    args << QStringLiteral("--silent") << QString::number(silent);
    if (!start_simulator(sim, link, args)) {
        std::printf("line pane: the simulator did not start\n");
        return;
    }
    mivo::ConsoleApplication app;
    app.window().show();
    const auto& ui = app.window().controls();
    if (!open_port(app, link)) {
        stop_simulator(sim);
        return;
    }
    ui.cb_ask_pfbk->setChecked(true);
    ui.cb_ask_states->setChecked(true);
    with_messages([&] {
        ui.cbb_station_num->setEditText(stations.first());
        ui.cmd_set_station->click();
    });
    QList<int> rows;
    for (const QString& s : stations)
        rows << s.toInt();
    rows << silent;
    app.console().state().set_found_stations(rows);

    std::vector<double> ticks;
    QElapsedTimer clock;
    QObject::connect(&app.console().state(), &mivo::ConsoleState::sample_recorded, &app.window(),
                     [&](const mivo::Recorder::Sample&) { ticks.push_back(clock.nsecsElapsed() / 1e6); });
    double lost_ms = -1;
    const mivo::LineOverview& overview = app.console().line_overview();
    QObject::connect(&overview, &mivo::LineOverview::row_changed, &app.window(), [&](int index) {
        if (lost_ms < 0 && overview.rows()[index].station == silent && overview.rows()[index].lost)
            lost_ms = clock.nsecsElapsed() / 1e6;
    });
    clock.start();
    ui.mnu_view_line->trigger();
    const double cpu = cpu_percent_over(kRunMs);
    app.window().line_dock()->hide();
    run_events_for(100);

    double slowest = 1e9;
    for (const mivo::LineOverview::Row& r : overview.rows())
        if (r.station != silent)
            slowest = std::min(slowest, r.answered * 1000.0 / kRunMs);
    std::vector<double> periods;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        periods.push_back(ticks[i] - ticks[i - 1]);
    std::sort(periods.begin(), periods.end());
    std::printf("%2lld stations (+1 silent): each row refreshed at least %.1f times a second; "
                "tick period median %.0f ms, %.0f to %.0f ms; CPU %.2f %%; silent station lost after %.0f ms\n",
                static_cast<long long>(stations.size()), slowest,
                periods.empty() ? 0.0 : periods[periods.size() / 2], periods.empty() ? 0.0 : periods.front(),
                periods.empty() ? 0.0 : periods.back(), cpu, lost_ms);
    stop_simulator(sim);
}

double run_cli_ms(const QStringList& args)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(MIVO_CLI), args);
    p.waitForFinished(300000);
    return t.nsecsElapsed() / 1e6;
}

void measure_batch_backup()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("line"));
    QProcess sim;
    QStringList all_stations;
    for (int n = 0; n <= 31; ++n)
        all_stations << QString::number(n);
    if (!start_simulator(sim, link, {QStringLiteral("--stations"), all_stations.join(u',')})) {
        std::printf("batch backup: the simulator did not start\n");
        return;
    }
    const double all = run_cli_ms({"--port", link, "--stations", "0-31", "--fast", "backup", dir.filePath("all")});
    double singles = 0;
    for (int n = 0; n <= 31; ++n)
        singles += run_cli_ms({"--port", link, "--station", QString::number(n), "--fast", "backup",
                               dir.filePath(QStringLiteral("single-%1.mivo").arg(n))});
    std::printf("--stations 0-31 --fast backup: %.0f ms, %.2f x 32 single backups (%.0f ms)\n", all, all / singles,
                singles);
    stop_simulator(sim);
}

}  // namespace

int main(int argc, char* argv[])
{
    default_to_offscreen();
    QApplication app(argc, argv);
    QStringList three{"1", "2", "5"};
    QStringList thirty_one;
    for (int n = 0; n <= 30; ++n)
        thirty_one << QString::number(n);
    measure_pane(three, 7);
    measure_pane(thirty_one, 31);
    measure_batch_backup();
    return 0;
}
