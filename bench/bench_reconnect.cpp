// A local line that goes away and comes back, with "Reconnect
// Automatically" on, against mivo-drive-sim in a process of its own:
// - the time from the line's return (the simulator serves its link again) to
//   the first position the poll reads; goal under 2 s;
// - the CPU this process uses while it waits for the line; goal: none
//   measurable.
#include "bench_support.h"
#include "console/console.h"
#include "console/console_view.h"
#include "link/line_port.h"
#include "median.h"
#include "../tests/support/cpu_time.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kGapMs = 3000;


}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("line"));
    const QStringList sim_args{QStringLiteral("--stations"), QStringLiteral("5")};
    QProcess sim;
    if (!bench::start_simulator(sim, link, sim_args)) {
        std::fprintf(stderr, "bench_reconnect: the simulator did not start\n");
        return 1;
    }
    mivo::LinePort port;
    mivo::Console console(port);
    mivo::ConsoleView view;
    console.set_view(&view);
    // Both "FeedBack" boxes ticked: the poll reads position, states, inputs.
    console.monitoring().set_feedback(true, true);
    console.reconnection().set_enabled(true);
    console.port_control().open_named(link, true);
    console.stations().select(QStringLiteral("5"), true);

    QElapsedTimer since_return;
    bool waiting_for_value = false;
    std::vector<double> back_ms;
    QObject::connect(&console.state(), &mivo::ConsoleState::live_value_changed, &app,
                     [&](qint16 group, const std::optional<QString>& value) {
                         if (waiting_for_value && group == 0 && value) {
                             back_ms.push_back(double(since_return.nsecsElapsed()) / 1e6);
                             waiting_for_value = false;
                         }
                     });
    std::vector<double> cpu_percent;
    for (int run = 0; run < kRuns; ++run) {
        bench::run_events_for(1000);
        bench::stop_simulator(sim);
        bench::run_events_for(200);  // the loss is noticed
        const double cpu_before = process_cpu_ms();
        bench::run_events_for(kGapMs);
        cpu_percent.push_back(100.0 * (process_cpu_ms() - cpu_before) / kGapMs);
        if (!bench::start_simulator(sim, link, sim_args)) {
            std::fprintf(stderr, "bench_reconnect: the simulator did not start again\n");
            return 1;
        }
        since_return.start();
        waiting_for_value = true;
        QElapsedTimer limit;
        limit.start();
        while (waiting_for_value && limit.elapsed() < 10000)
            bench::run_events_for(10);
        if (waiting_for_value) {
            std::fprintf(stderr, "bench_reconnect: no position within 10 s of the line's return\n");
            return 1;
        }
    }
    bench::stop_simulator(sim);
    std::sort(back_ms.begin(), back_ms.end());
    std::sort(cpu_percent.begin(), cpu_percent.end());
    std::printf("line back to first position  median %.0f ms  worst %.0f ms  (goal under 2000 ms)\n",
                back_ms[back_ms.size() / 2], back_ms.back());
    std::printf("CPU while the line is away   median %.2f %%  worst %.2f %%  (goal: none measurable)\n",
                cpu_percent[cpu_percent.size() / 2], cpu_percent.back());
    return 0;
}
