// The drive operations of the command-line tool against the in-process
// simulator (replies after about 3 ms):
// - status (3 lines) and write (2 lines) with the fast exchange, as ratios to
//   the drive's own minimum: its latency times the lines, and the reply times
//   the simulator logged for those lines (from reading a line to writing its
//   reply); goal at most 1.03;
// - the CPU the fast exchange takes while it waits, on a line whose replies
//   come 40 ms after their lines: a share of the wall time;
// - move --wait from "MA" to "reached", as a ratio to the simulated move's own
//   duration (4000 counts at 1 revolution of 4000 counts a second: 1 s); goal
//   at most 1.1, paced and fast.
#include "console_on_line.h"
#include "console/settings_file.h"
#include "link/system_serial_port.h"
#include "median.h"
#include "sim_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <utility>
#include <vector>

namespace {

double thread_cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The drive's own time for the lines of one run: from the simulator's
// reading of each line to its writing of the reply.
double reply_times_ms(const mivo::sim::SimHarness& sim)
{
    double sum = 0, rx = -1;
    for (const mivo::sim::WireEvent& e : sim.wire_log()) {
        if (e.dir == mivo::sim::WireEvent::Rx) {
            rx = e.t_ms;
        } else if (rx >= 0) {
            sum += e.t_ms - rx;
            rx = -1;
        }
    }
    return sum;
}

// Median wall time of run, and its median ratio to the drive's reply times.
std::pair<double, double> timed_against_drive(mivo::sim::SimHarness& sim, const std::function<void()>& run)
{
    std::vector<double> ms, ratios;
    for (int i = 0; i < 41; ++i) {
        sim.clear_log();
        QElapsedTimer t;
        t.start();
        run();
        const double took = t.nsecsElapsed() / 1e6;
        ms.push_back(took);
        ratios.push_back(took / reply_times_ms(sim));
    }
    return {median(ms), median(ratios)};
}

constexpr double kLatencyMs = 3.0;
constexpr double kMoveMs = 1000.0;
constexpr int kRuns = 7;

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    mivo::sim::SimHarness sim({"--stations", "5", "--latency-ms", "3"});
    mivo::SystemSerialPort port;
    mivo::Console console(port);
    bench::CommView typed;
    bench::open_and_select(console, typed, QString::fromStdString(sim.path()), QStringLiteral("5"));
    mivo::DriveOperations& ops = console.operations();
    console.exchange().set_fast(true);

    const int p3 = mivo::settings_file::entry_named(QStringLiteral("P3"));
    const auto [status_ms, status_ratio] = timed_against_drive(sim, [&] { ops.read_status(); });
    const auto [write_ms, write_ratio] = timed_against_drive(sim, [&] { ops.write_entry(p3, 120); });
    std::printf("status, fast: %.2f ms, %.3f x its minimum (3 x %.0f ms), %.3f x the drive's reply times "
                "(goal at most 1.03)\n",
                status_ms, status_ms / (3 * kLatencyMs), kLatencyMs, status_ratio);
    std::printf("write, fast:  %.2f ms, %.3f x its minimum (2 x %.0f ms), %.3f x the drive's reply times "
                "(goal at most 1.03)\n",
                write_ms, write_ms / (2 * kLatencyMs), kLatencyMs, write_ratio);
    {
        mivo::sim::SimHarness slow({"--stations", "5", "--late-ms", "40"});
        mivo::SystemSerialPort slow_port;
        mivo::Console slow_console(slow_port);
        bench::CommView slow_view;
        bench::open_and_select(slow_console, slow_view, QString::fromStdString(slow.path()), QStringLiteral("5"));
        slow_console.exchange().set_fast(true);
        const double cpu0 = thread_cpu_ms();
        const double wall = median_ms(1, [&] {
            for (int i = 0; i < 10; ++i)
                slow_console.operations().read_status();
        });
        std::printf("CPU while the fast exchange waits (30 replies after 40 ms each): %.2f %% of %.0f ms\n",
                    100 * (thread_cpu_ms() - cpu0) / wall, wall);
        slow_console.shut_down();
    }

    ops.servo(true);
    for (const bool fast : {false, true}) {
        console.exchange().set_fast(fast);
        std::vector<double> ratios;
        for (int i = 0; i < kRuns; ++i) {
            ops.move({0, QStringLiteral("1"), true, 0, 10000});
            const mivo::DriveOperations::Moved m = ops.move({4000, std::nullopt, true, 0, 10000});
            ratios.push_back(m.reached ? m.time_ms / kMoveMs : -1);
        }
        std::printf("move --wait, %s: %.3f x the move's own duration (goal at most 1.1)\n", fast ? "fast" : "paced",
                    median(ratios));
    }
    ops.servo(false);
    console.shut_down();
    return 0;
}
