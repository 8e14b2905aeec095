// Writes the "Run Test..." dialog once a recipe has run, the README's picture
// of it (scripts/screenshot): run_test_snapshot PORT STATION RECIPE OUT.png
#include "app/console_application.h"
#include "window/recipe_dialog.h"

#include "../support/message_catcher.h"

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
    mivo::ConsoleApplication console;
    mivo::Form1& window = console.window();
    window.show();
    const mivo::Form1Controls& ui = window.controls();
    MessageCatcher messages;
    messages.on_message = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };
    messages.leave_open = QStringLiteral("run_test");
    // The file dialog takes a name relative to its own folder, not ours.
    messages.file_to_choose = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();

    ui.cbb_port_num->setEditText(QString::fromLocal8Bit(argv[1]));
    ui.cmd_port_open->click();
    if (console.console().vars().is_linked != mivo::kTrue) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    ui.cbb_station_num->setEditText(QString::fromLocal8Bit(argv[2]));
    ui.cmd_set_station->click();

    // The handler returns once the run has ended, its dialog left open.
    ui.mnu_drive_run_test->trigger();
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
