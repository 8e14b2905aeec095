// Writes the console window with a station selected, the picture of the
// README (scripts/screenshot): station_snapshot PORT STATION OUT.png
// The window opens PORT (a drive line, e.g. mivo-drive-sim's link), selects
// STATION and brings "Setup" to the front, which reads the drive's values;
// the picture is taken once they are in and the poll has lit the lights.
#include "../support/snapshot_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// Runs the window until `done` holds or `ms` have passed.
template <typename Done>
void run_until(Done done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: station_snapshot PORT STATION OUT.png\n");
        return 2;
    }
    SnapshotWindow w;
    const mivo::Form1Controls& ui = w.ui();
    if (!w.open(argv[1]))
        return 1;
    w.select(QString::fromLocal8Bit(argv[2]));

    // Bringing the page to the front runs SSTab1_Click, which reads it.
    ui.SSTab1->setCurrentIndex(mivo::kSetupPage);
    const auto values_read = [&ui] {
        return std::any_of(ui.tx_position_settings.begin(), ui.tx_position_settings.end(),
                           [](const QLineEdit* box) { return box->text() != QLatin1String("0"); });
    };
    run_until(values_read, 10000);
    if (!values_read())
        std::fprintf(stderr, "the Setup page still shows 0 everywhere\n");
    // A few poll ticks, so that the lights show the drive's state.
    run_until([] { return false; }, 1500);

    const QString path = QString::fromLocal8Bit(argv[3]);
    if (!w.console.window().grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}
