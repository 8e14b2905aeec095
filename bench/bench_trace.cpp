// Traced moves against the in-process simulator (replies after 3 ms, the
// motion model on: 200000 counts/s^2, 8000 counts/s, ringing 20 counts,
// 30 ms, 40 ms):
// - the sample rate as a ratio to the line's limit, one reading per reply
//   time (from the simulator's reading of each "RV 0" to its reply; on a
//   pseudo-terminal the bytes take no time); goal at least 0.9;
// - rise and settling against the model's own (motion_profile.h), in sample
//   periods; goal within one; overshoot against the model's, in counts.
#include "console_on_line.h"
#include "console/move_trace.h"
#include "link/system_serial_port.h"
#include "median.h"
#include "motion_profile.h"
#include "sim_harness.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kAccel = 200000, kSpeed = 8000, kTolerance = 1;
constexpr qint32 kTarget = 2000;
constexpr int kRuns = 9;

// The median time the drive took for a line: from reading it to writing
// its reply.
double median_reply_ms(const mivo::sim::SimHarness& sim)
{
    std::vector<double> times;
    double rx = -1;
    for (const mivo::sim::WireEvent& e : sim.wire_log()) {
        if (e.dir == mivo::sim::WireEvent::Rx && e.bytes == "RV 0") {
            rx = e.t_ms;
        } else if (e.dir == mivo::sim::WireEvent::Tx && rx >= 0) {
            times.push_back(e.t_ms - rx);
            rx = -1;
        }
    }
    return times.empty() ? -1 : median(times);
}

struct Known {
    double rise_ms = -1, settling_ms = -1, overshoot = 0;
};

Known known_figures(const mivo::sim::MoveProfile& p)
{
    Known k;
    double t10 = -1, t90 = -1;
    for (double t = 0; t <= 2000; t += 0.01) {
        const double x = double(p.at(t));
        if (t10 < 0 && x >= 0.1 * kTarget) t10 = t;
        if (t90 < 0 && x >= 0.9 * kTarget) t90 = t;
        k.overshoot = std::max(k.overshoot, x - kTarget);
        if (std::abs(x - kTarget) > kTolerance) k.settling_ms = -1;
        else if (k.settling_ms < 0) k.settling_ms = t;
    }
    k.rise_ms = t90 - t10;
    return k;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    mivo::sim::SimHarness sim({"--stations", "5", "--latency-ms", "3", "--accel", "200000", "--ringing", "20,30,40"});
    mivo::SystemSerialPort port;
    mivo::Console console(port);
    bench::CommView view;
    if (!bench::open_and_select(console, view, QString::fromStdString(sim.path()), QStringLiteral("5"))) {
        std::fprintf(stderr, "bench_trace: the simulator did not answer\n");
        return 1;
    }
    mivo::DriveOperations& ops = console.operations();
    ops.set_write_replies(true);
    ops.servo(true);
    mivo::sim::MotionModel model;
    model.accel = kAccel;
    model.ringing = mivo::sim::Ringing{20, 30, 40};
    const Known k = known_figures(mivo::sim::MoveProfile(0, kTarget, kSpeed, 0, model));

    std::vector<double> rate_ratio, rise_periods, settling_periods, overshoot_counts;
    for (int i = 0; i < kRuns; ++i) {
        ops.move({0, QStringLiteral("2"), true, 0, 10000});
        const mivo::DriveOperations::MoveRequest request{kTarget, std::nullopt, true, kTolerance, 10000};
        sim.clear_log();
        const mivo::MoveTrace::Traced t = mivo::MoveTrace(console.context(), ops).run(request);
        const mivo::TraceMetrics& m = t.metrics;
        if (!t.reached || !m.rate_hz || !m.rise_ms || !m.settling_ms) {
            std::fprintf(stderr, "bench_trace: run %d did not settle\n", i);
            return 1;
        }
        // A pseudo-terminal carries the bytes at once: the reply time alone.
        const double limit_hz = 1000 / median_reply_ms(sim);
        const double period = 1000 / *m.rate_hz;
        rate_ratio.push_back(*m.rate_hz / limit_hz);
        rise_periods.push_back(std::abs(*m.rise_ms - k.rise_ms) / period);
        settling_periods.push_back(std::abs(*m.settling_ms - k.settling_ms) / period);
        overshoot_counts.push_back(std::abs(*m.overshoot - k.overshoot));
    }
    std::printf("trace sample rate: %.3f x the line's limit (one reading per reply time; goal at least 0.9)\n",
                median(rate_ratio));
    std::printf("trace rise: %.2f sample periods from the model's %.1f ms (goal at most 1)\n", median(rise_periods),
                k.rise_ms);
    std::printf("trace settling: %.2f sample periods from the model's %.1f ms (goal at most 1)\n",
                median(settling_periods), k.settling_ms);
    std::printf("trace overshoot: %.1f counts from the model's %.0f\n", median(overshoot_counts), k.overshoot);
    ops.servo(false);
    console.shut_down();
    return 0;
}
