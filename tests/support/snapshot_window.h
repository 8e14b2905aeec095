#pragma once

#include "app/console_application.h"

#include "message_catcher.h"

#include <QComboBox>
#include <QPushButton>
#include <QString>

#include <cstdio>

// The window of a picture tool, shown, with its message boxes read aloud on
// standard error and closed, as a user would read and close them.
struct SnapshotWindow {
    mivo::ConsoleApplication console;
    MessageCatcher messages;

    SnapshotWindow()
    {
        console.window().show();
        messages.on_message = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };
    }
    const mivo::Form1Controls& ui() { return console.window().controls(); }

    // "Open" on port; false, told on standard error, when it did not open.
    bool open(const char* port)
    {
        ui().cbb_port_num->setEditText(QString::fromLocal8Bit(port));
        ui().cmd_port_open->click();
        if (console.console().vars().is_linked == mivo::kTrue)
            return true;
        std::fprintf(stderr, "cannot open %s\n", port);
        return false;
    }
    void select(const QString& station)
    {
        ui().cbb_station_num->setEditText(station);
        ui().cmd_set_station->click();
    }
};
