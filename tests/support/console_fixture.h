#pragma once

#include "app/console_application.h"
#include "window/form1.h"

#include "message_catcher.h"
#include "sim_harness.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

// What the console's end-to-end tests share: the real window, shown, and a
// catcher that reads and closes its message boxes as a user would. A test
// class derives from it beside QObject and calls start_console() in init()
// and stop_console() in cleanup().
class ConsoleFixture {
protected:
    std::unique_ptr<mivo::ConsoleApplication> app;
    mivo::Form1* form = nullptr;
    std::unique_ptr<MessageCatcher> messages;

    const mivo::Form1Controls& ui() const { return form->controls(); }
    mivo::Console& console() { return app->console(); }

    // A fresh window on the system's serial ports, or on the port given.
    void start_console(std::unique_ptr<mivo::SerialPort> port = nullptr)
    {
        stop_console();
        app = std::make_unique<mivo::ConsoleApplication>(std::move(port));
        form = &app->window();
        form->show();
        messages = std::make_unique<MessageCatcher>();
    }
    void stop_console()
    {
        messages.reset();
        form = nullptr;
        app.reset();
    }

    // Opens the port on a simulated drive line, the way a user does: the
    // line's path typed into "Comm", then "Open".
    void open_on(const mivo::sim::SimHarness& sim)
    {
        ui().cbb_port_num->setEditText(QString::fromStdString(sim.path()));
        QTest::mouseClick(ui().cmd_port_open, Qt::LeftButton);
    }

    // "Set Station" with the text typed into "Station".
    void set_station(const QString& text)
    {
        ui().cbb_station_num->setEditText(text);
        QTest::mouseClick(ui().cmd_set_station, Qt::LeftButton);
    }

    // A click on the tab of a page; its handler runs once the change has
    // returned, so the caller waits for what it does.
    void click_tab(int page)
    {
        QTabBar* bar = ui().SSTab1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }
};
