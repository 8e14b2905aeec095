// Writes the "Run Test..." dialog once a recipe has run, the README's picture
// of it (scripts/screenshot): run_test_snapshot PORT STATION RECIPE OUT.png
#include "window/recipe_dialog.h"

#include "../support/snapshot_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: run_test_snapshot PORT STATION RECIPE OUT.png\n");
        return 2;
    }
    SnapshotWindow w;
    mivo::Form1& window = w.console.window();
    // The file dialog takes a name relative to its own folder, not ours.
    w.messages.file_to_choose = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();
    w.messages.leave_open = QStringLiteral("run_test");
    if (!w.open(argv[1]))
        return 1;
    w.select(QString::fromLocal8Bit(argv[2]));

    // The handler returns once the run has ended, its dialog left open.
    w.ui().mnu_drive_run_test->trigger();
    auto* dialog = window.findChild<mivo::RecipeDialog*>();
    if (!dialog || dialog->summary().isEmpty()) {
        std::fprintf(stderr, "the recipe did not run\n");
        return 1;
    }
    QApplication::processEvents();
    const QString path = QString::fromLocal8Bit(argv[4]);
    if (!dialog->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s: %s\n", qPrintable(path), qPrintable(dialog->summary()));
    return 0;
}
