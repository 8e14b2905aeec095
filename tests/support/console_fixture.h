#pragma once

#include "window/form1.h"

#include "message_catcher.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

// What the console's GUI tests share: the real window, shown, and a catcher
// that reads and closes its message boxes as a user would. A test class
// derives from it beside QObject and calls start_console() in init() and
// stop_console() in cleanup().
class ConsoleFixture {
protected:
    std::unique_ptr<mivo::Form1> form;
    std::unique_ptr<MessageCatcher> messages;

    const mivo::Form1Controls& ui() const { return form->controls(); }

    // A fresh window on the system's serial ports, or on the port given.
    void start_console(std::unique_ptr<mivo::SerialPort> port = nullptr)
    {
        messages.reset();
        form = std::make_unique<mivo::Form1>(std::move(port));
        form->show();
        messages = std::make_unique<MessageCatcher>();
    }
    void stop_console()
    {
        messages.reset();
        form.reset();
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
