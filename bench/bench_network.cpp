// The fast exchange over a network line against the same on the local line:
// the in-process simulator (replies after about 3 ms) on its pseudo-terminal,
// and behind ser2net on loopback (character delay off), raw and with
// RFC 2217. Many exchanges in one process, through the drive operations:
// - status (3 lines) and a read of both groups (23 lines), median times;
// - per line, the time the network adds, goal at most 0.3 ms, and the read's
//   ratio to the local one, goal at most 1.5.
#include "console_on_line.h"
#include "link/line_port.h"
#include "median.h"
#include "sim_harness.h"

#include "../tests/support/ser2net_line.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <optional>

namespace {

constexpr int kStatusLines = 3;
constexpr int kReadLines = 23;
constexpr int kStatusRuns = 41;
constexpr int kReadRuns = 11;

struct Times {
    double status_ms;
    double read_ms;
};

std::optional<Times> measure(const QString& port_name)
{
    mivo::LinePort port;
    mivo::Console console(port);
    bench::CommView typed;
    const bool selected = bench::open_and_select(console, typed, port_name, QStringLiteral("5"));
    mivo::DriveOperations& ops = console.operations();
    std::optional<Times> times;
    if (selected) {
        console.exchange().set_fast(true);
        times = Times{median_ms(kStatusRuns, [&] { ops.read_status(); }), median_ms(kReadRuns, [&] {
                          mivo::DriveSettings::Report report;
                          console.drive_settings().read_drive(report);
                          console.Timer1().stop();  // a read switches the poll on again
                      })};
    }
    console.shut_down();
    return times;
}

void print(const char* what, const Times& direct, const std::optional<Times>& t)
{
    if (!t) {
        std::printf("%-11s not measured: no drive through ser2net\n", what);
        return;
    }
    std::printf("%-11s status %.2f ms, %.2f x, %+.3f ms a line; read %.1f ms, %.2f x, %+.3f ms a line\n", what,
                t->status_ms, t->status_ms / direct.status_ms, (t->status_ms - direct.status_ms) / kStatusLines,
                t->read_ms, t->read_ms / direct.read_ms, (t->read_ms - direct.read_ms) / kReadLines);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    mivo::sim::SimHarness sim({"--stations", "5", "--latency-ms", "3"});
    const std::optional<Times> direct = measure(QString::fromStdString(sim.path()));
    if (!direct) {
        std::printf("network lines: not measured, no drive on the local line\n");
        return 1;
    }
    std::printf("fast exchange, medians of %d status and %d reads (goal: at most 0.3 ms added a line, "
                "read at most 1.5 x)\n",
                kStatusRuns, kReadRuns);
    std::printf("%-11s status %.2f ms; read %.1f ms\n", "local", direct->status_ms, direct->read_ms);
    Ser2netLine server;
    if (Ser2netLine::program().isEmpty() || !server.start(QString::fromStdString(sim.path()))) {
        std::printf("ser2net: not measured, not installed or not serving\n");
        return 0;
    }
    // ser2net lets the device go a moment after a connection closes; until
    // then its other port turns a connection away.
    QThread::msleep(500);
    print("tcp://", *direct, measure(server.raw()));
    QThread::msleep(500);
    print("rfc2217://", *direct, measure(server.telnet()));
    return 0;
}
