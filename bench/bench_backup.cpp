// Backing up, comparing and restoring a drive's settings on the console
// core against the in-process simulator (replies after about 3 ms):
// - a backup as a ratio to its paced minimum, 24 exchanges of 50 ms (the 23
//   entries and "RV 4" for the header); goal at most 1.03;
// - the same with the fast exchange, as a ratio to the paced one; goal at
//   most 0.2;
// - compare and restore of an unchanged drive, as ratios to 23 x 50 ms.
#include "console/console.h"
#include "console/console_view.h"
#include "link/system_serial_port.h"
#include "median.h"
#include "sim_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr double kBackupMinimumMs = 24 * 50.0;
constexpr double kReadMinimumMs = 23 * 50.0;
constexpr int kRuns = 5;

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    mivo::sim::SimHarness sim({"--stations", "5"});
    mivo::SystemSerialPort port;
    mivo::Console console(port);
    // Shows nothing; the port and the station go in as typed.
    mivo::ConsoleView quiet;
    console.set_view(&quiet);
    console.port_control().open(QString::fromStdString(sim.path()));
    console.stations().set_station_click(QStringLiteral("5"));
    console.Timer1().stop();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("b.mivo"));
    mivo::DriveSettings& drive = console.drive_settings();
    const auto backup = [&] {
        if (drive.back_up(file, QStringLiteral("bench")).outcome != mivo::DriveSettings::Outcome::Done)
            std::printf("backup failed\n");
        console.Timer1().stop();
    };
    const double paced = median_ms(kRuns, backup);
    const double compare = median_ms(kRuns, [&] {
        drive.compare_file(file);
        console.Timer1().stop();
    });
    const double restore = median_ms(kRuns, [&] {
        drive.restore_file(file, mivo::DriveSettings::SaveChoice::DoNotSave);
        console.Timer1().stop();
    });
    console.exchange().set_fast(true);
    const double fast = median_ms(kRuns, backup);

    std::printf("backup            %7.1f ms  ratio %.3f to %4.0f ms  (goal <= 1.03)\n", paced, paced / kBackupMinimumMs,
                kBackupMinimumMs);
    std::printf("backup, fast      %7.1f ms  ratio %.3f to the paced one  (goal <= 0.2)\n", fast, fast / paced);
    std::printf("compare, same     %7.1f ms  ratio %.3f to %4.0f ms\n", compare, compare / kReadMinimumMs, kReadMinimumMs);
    std::printf("restore, same     %7.1f ms  ratio %.3f to %4.0f ms\n", restore, restore / kReadMinimumMs, kReadMinimumMs);
    console.shut_down();
    return 0;
}
