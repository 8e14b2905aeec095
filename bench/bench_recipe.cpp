// Test recipes against the in-process simulator (replies after about 3 ms):
// - a recipe's run time (the incoming inspection example) against the sum of
//   its exchanges' own minimum: with the window's paced exchange each line
//   takes its reply wait, so the minimum is the lines on the wire times it;
//   goal at most 1.05. The same operations called directly, without the
//   engine, for comparison;
// - the time from Ctrl-C (SIGINT to mivo-cli), from "Stop" during a busy
//   loop and from the time limit to "EN 0" on the wire; goal under 100 ms
//   plus one reply wait. The limit also while the recipe doubles a string,
//   whose every step is long: goal within 200 ms.
#include "console_on_line.h"
#include "console/settings_file.h"
#include "link/system_serial_port.h"
#include "median.h"
#include "recipe/recipe_run.h"
#include "sim_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;

// The sim's stamp of the first received line equal to text, else -1.
double stamp_of(const mivo::sim::SimHarness& sim, const std::string& text)
{
    for (const auto& e : sim.wire_log())
        if (e.dir == mivo::sim::WireEvent::Rx && e.bytes == text)
            return e.t_ms;
    return -1;
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return f.fileName();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    mivo::sim::SimHarness sim({"--stations", "5", "--latency-ms", "3"});
    mivo::SystemSerialPort port;
    mivo::Console console(port);
    bench::CommView typed;
    bench::open_and_select(console, typed, QString::fromStdString(sim.path()), QStringLiteral("5"));
    mivo::DriveOperations& ops = console.operations();

    // The example, as the window runs it.
    mivo::recipe::RecipeRun recipe(console);
    if (const QString error = recipe.load(QStringLiteral(MIVO_EXAMPLES_DIR "/incoming-inspection.js")); !error.isEmpty()) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    std::vector<double> ratios, direct_ratios;
    for (int i = 0; i < kRuns; ++i) {
        sim.clear_log();
        QElapsedTimer t;
        t.start();
        const mivo::recipe::StationRun run = recipe.run(5);
        const double ms = t.nsecsElapsed() / 1e6;
        const double lines = double(sim.rx_lines().size());
        const double minimum = lines * console.exchange().reply_wait_ms();
        ratios.push_back(run.passed() ? ms / minimum : -1);

        // The same lines called directly.
        const auto golden = mivo::settings_file::load(QStringLiteral(MIVO_EXAMPLES_DIR "/golden.mivo"));
        t.restart();
        ops.read_status();
        console.drive_settings().compare(std::get<mivo::settings_file::Values>(golden));
        for (const char* e : {"P10", "P11", "V5"})
            ops.read_entry(mivo::settings_file::entry_named(QLatin1String(e)));
        direct_ratios.push_back((t.nsecsElapsed() / 1e6) / minimum);
    }
    std::printf("incoming inspection, paced: %.3f x the lines times the reply wait (goal at most 1.05); "
                "the same operations called directly: %.3f x\n",
                median(ratios), median(direct_ratios));

    // The time limit: the recipe spins in JavaScript with the motor on.
    mivo::recipe::RecipeRun spin(console);
    spin.load(write(dir, QStringLiteral("spin.js"), "test.timeout_s = 0.5;\ndrive.servo(true);\nfor (;;) {}\n"));
    const auto limit_to_en0 = [&](mivo::recipe::RecipeRun& run) {
        std::vector<double> ms;
        for (int i = 0; i < kRuns; ++i) {
            sim.clear_log();
            const double start = mivo::sim::SimHarness::now_ms();
            run.run(5);
            const double en0 = stamp_of(sim, "EN 0");
            ms.push_back(en0 < 0 ? -1 : en0 - (start + 500));
        }
        return ms;
    };
    const std::vector<double> limit_ms = limit_to_en0(spin);
    mivo::recipe::RecipeRun doubling(console);
    doubling.load(write(dir, QStringLiteral("double.js"),
                        "test.timeout_s = 0.5;\ndrive.servo(true);\nvar s = \"x\";\nfor (;;) s = s + s;\n"));
    const std::vector<double> doubling_ms = limit_to_en0(doubling);

    // "Stop" (as the window's button calls it) 200 ms into a busy loop.
    std::vector<double> stop_ms;
    mivo::recipe::RecipeRun busy(console);
    busy.load(write(dir, QStringLiteral("busy.js"), "drive.servo(true);\nfor (;;) {}\n"));
    for (int i = 0; i < kRuns; ++i) {
        sim.clear_log();
        double pressed = 0;
        QTimer::singleShot(200, [&] {
            pressed = mivo::sim::SimHarness::now_ms();
            busy.stop(QStringLiteral("stopped by the user"));
        });
        busy.run(5);
        const double en0 = stamp_of(sim, "EN 0");
        stop_ms.push_back(en0 < 0 || pressed == 0 ? -1 : en0 - pressed);
    }
    console.shut_down();

    // Ctrl-C to the tool while the recipe sleeps with the motor on.
    const QString sleeper = write(dir, QStringLiteral("sleep.js"), "drive.servo(true);\ntest.sleep(100000);\n");
    std::vector<double> signal_ms;
    for (int i = 0; i < kRuns; ++i) {
        sim.clear_log();
        QProcess tool;
        tool.start(QStringLiteral(MIVO_CLI), {"--port", QString::fromStdString(sim.path()), "--station", "5", "run",
                                              sleeper});
        while (stamp_of(sim, "EN 1") < 0)
            QThread::msleep(5);
        QThread::msleep(200);
        const double sent = mivo::sim::SimHarness::now_ms();
        ::kill(pid_t(tool.processId()), SIGINT);
        tool.waitForFinished(10000);
        const double en0 = stamp_of(sim, "EN 0");
        signal_ms.push_back(en0 < 0 ? -1 : en0 - sent);
    }
    std::printf("time limit to \"EN 0\": median %.1f ms, worst %.1f ms (goal under 100 + 50 ms)\n", median(limit_ms),
                *std::max_element(limit_ms.begin(), limit_ms.end()));
    std::printf("time limit to \"EN 0\" while doubling a string: median %.1f ms, worst %.1f ms (goal within 200 ms)\n",
                median(doubling_ms), *std::max_element(doubling_ms.begin(), doubling_ms.end()));
    std::printf("\"Stop\" in a busy loop to \"EN 0\": median %.1f ms, worst %.1f ms (goal under 100 + 50 ms)\n",
                median(stop_ms), *std::max_element(stop_ms.begin(), stop_ms.end()));
    std::printf("Ctrl-C to \"EN 0\": median %.1f ms, worst %.1f ms (goal under 100 + 50 ms)\n", median(signal_ms),
                *std::max_element(signal_ms.begin(), signal_ms.end()));
    return 0;
}
