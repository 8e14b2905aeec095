#pragma once

#include "console/console.h"
#include "link/system_serial_port.h"

#include "fake_view.h"
#include "scripted_port.h"
#include "sim_harness.h"

#include <QStringList>

#include <memory>
#include <utility>

// What the console's logic tests share: the console core on a real serial
// port, its view a FakeView. A test class derives from it beside QObject and
// calls start_console() in init() and stop_console() in cleanup().
class CoreFixture {
protected:
    std::unique_ptr<mivo::SerialPort> port;
    std::unique_ptr<mivo::Console> console;
    FakeView view;
    // The page in front, and what the "Motion" page's boxes hold; the window
    // at load.
    int page = mivo::kTerminalPage;
    mivo::Motion::CycleTexts cycle;

    void start_console(std::unique_ptr<mivo::SerialPort> given = nullptr)
    {
        stop_console();
        view = FakeView{};
        page = mivo::kTerminalPage;
        cycle = {"1000", "0", "2", "100", "100"};
        port = given ? std::move(given) : std::make_unique<mivo::SystemSerialPort>();
        console = std::make_unique<mivo::Console>(*port);
        view.follow(console->state());
        console->set_view(&view);
        console->Form_Load();
    }
    void stop_console()
    {
        if (console)
            console->shut_down();
        console.reset();
        port.reset();
    }

    // A console on a scripted port, opened; the port stays the console's.
    ScriptedPort* start_on_scripted_port()
    {
        auto scripted = std::make_unique<ScriptedPort>();
        ScriptedPort* raw = scripted.get();
        start_console(std::move(scripted));
        console->port_control().open(QStringLiteral("2"));
        view.take_messages();
        return raw;
    }

    // "Open" with the path typed into "Comm".
    void open_path(const QString& path)
    {
        console->port_control().open(path);
    }
    void open_on(const mivo::sim::SimHarness& sim) { open_path(QString::fromStdString(sim.path())); }
    void close() { console->port_control().close(); }

    // "Set Station" with the text typed into "Station".
    void set_station(const QString& text)
    {
        console->stations().set_station_click(text);
    }
    // The user brings a page to the front.
    void bring_to_front(int page)
    {
        const int previous = std::exchange(this->page, page);
        console->SSTab1_Click(qint16(previous), page);
    }
    // Enter typed into "Command" with text in it.
    void type_command(const QString& text)
    {
        view.command = text;
        console->terminal().key_press(mivo::Terminal::kEnter, view.command);
    }
    mivo::FormVariables& vars() { return console->vars(); }
    QTimer& Timer1() { return console->Timer1(); }
};
