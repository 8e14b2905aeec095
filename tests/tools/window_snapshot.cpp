// Writes the console window to PNG files, one per tab page, for a look at
// the layout: window_snapshot OUT_PREFIX  ->  OUT_PREFIX-terminal.png ...
#include "app/console_application.h"

#include <QApplication>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString prefix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("form1");
    mivo::ConsoleApplication console;
    mivo::Form1& window = console.window();
    window.show();
    const char* const names[] = {"terminal", "motion", "setup", "config"};
    QTabWidget* tabs = window.controls().SSTab1;
    // Switching pages from here is not a user's click; keep the page-change
    // handler out of it.
    tabs->blockSignals(true);
    for (int page = 0; page < 4; ++page) {
        tabs->setCurrentIndex(page);
        QApplication::processEvents();
        const QString path = QStringLiteral("%1-%2.png").arg(prefix, QLatin1String(names[page]));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
