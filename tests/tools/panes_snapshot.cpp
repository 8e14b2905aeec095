// Writes the console with both panes shown during a motion cycle, the
// README's second picture (scripts/screenshot):
//     panes_snapshot PORT OUT.png [OUT.csv]
// With OUT.csv, the recorder's "Export CSV..." also writes its samples there.
// The window opens PORT, selects station 5, shows "Wire Log" and "Recorder",
// ticks both "FeedBack" boxes and runs a back-and-forth move; the picture is
// taken in the middle of it.
#include "window/recorder_pane.h"

#include "../support/snapshot_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: panes_snapshot PORT OUT.png [OUT.csv]\n");
        return 2;
    }
    SnapshotWindow w;
    mivo::Form1& window = w.console.window();
    const mivo::Form1Controls& ui = w.ui();
    if (!w.open(argv[1]))
        return 1;
    ui.mnu_view_wire_log->trigger();
    ui.mnu_view_recorder->trigger();
    w.select(QStringLiteral("5"));
    ui.SSTab1->setCurrentIndex(mivo::kMotionPage);
    ui.cmd_mivo_enable->click();
    ui.cb_ask_pfbk->setChecked(true);
    ui.cb_ask_states->setChecked(true);
    ui.tx_move_position_1->setText(QStringLiteral("20000"));
    ui.tx_move_position_2->setText(QStringLiteral("0"));
    ui.tx_delay_1->setText(QStringLiteral("500"));
    ui.tx_delay_2->setText(QStringLiteral("500"));

    // The cycle runs until "Stop"; the picture is taken while it runs.
    int status = 0;
    QTimer::singleShot(14000, &window, [&] {
        const QString path = QString::fromLocal8Bit(argv[2]);
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            status = 1;
        }
        ui.cmd_stop_move->click();
        if (argc == 4) {
            w.messages.file_to_choose = QString::fromLocal8Bit(argv[3]);
            window.recorder_pane().findChild<QPushButton*>(QStringLiteral("cmd_recorder_export"))->click();
        }
    });
    QTimer::singleShot(0, &window, [&] { ui.cmd_start_move->click(); });
    QTimer::singleShot(15500, &app, &QApplication::quit);
    app.exec();
    if (status == 0)
        std::printf("%s\n", argv[2]);
    return status;
}
