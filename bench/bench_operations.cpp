// The drive operations of the command-line tool against the in-process
// simulator (replies after about 3 ms):
// - status (3 lines) and write (2 lines) with the fast exchange, as ratios to
//   the drive's own minimum, its latency times the lines;
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
#include <functional>
#include <vector>

namespace {

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
    const double status_ms = median_ms(kRuns, [&] { ops.read_status(); });
    const double write_ms = median_ms(kRuns, [&] { ops.write_entry(p3, 120); });
    std::printf("status, fast: %.1f ms, %.2f x its minimum (3 x %.0f ms)\n", status_ms, status_ms / (3 * kLatencyMs),
                kLatencyMs);
    std::printf("write, fast:  %.1f ms, %.2f x its minimum (2 x %.0f ms)\n", write_ms, write_ms / (2 * kLatencyMs),
                kLatencyMs);

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
