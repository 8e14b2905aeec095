#pragma once

// What the measurements of the poll through the real window share.

#include "app/console_application.h"
#include "sim_harness.h"

#include "../tests/support/cpu_time.h"
#include "../tests/support/sim_line.h"
#include "bench_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

// A tick's minimum with both "FeedBack" boxes ticked: three reads with their
// 50 ms waits, two 50 ms pauses.
constexpr double kTickMinimumMs = 3 * 50 + 2 * 50;

// "Open" on the given port; false, with what the window said, unless it
// answered "Port Open".
inline bool open_port(mivo::ConsoleApplication& app, const QString& port)
{
    const QStringList opened = with_messages([&] {
        app.window().controls().cbb_port_num->setEditText(port);
        app.window().controls().cmd_port_open->click();
    });
    if (opened != QStringList{"Port Open"}) {
        std::printf("port not opened (messages: %s)\n", qPrintable(opened.join(" | ")));
        return false;
    }
    return true;
}

// Station 3 with both "FeedBack" boxes ticked, which starts Timer1.
inline bool select_station_3(mivo::ConsoleApplication& app)
{
    const auto& ui = app.window().controls();
    ui.cb_ask_pfbk->setChecked(true);
    ui.cb_ask_states->setChecked(true);
    const QStringList texts = with_messages([&] {
        ui.cbb_station_num->setEditText(QStringLiteral("3"));
        QTest::mouseClick(ui.cmd_set_station, Qt::LeftButton);
    });
    if (texts != QStringList{"Set OK."} || !app.console().Timer1().isActive()) {
        std::printf("station 3 not selected (messages: %s)\n", qPrintable(texts.join(" | ")));
        return false;
    }
    return true;
}

// Process CPU over ms of the event loop, in percent of one core.
inline double cpu_percent_over(int ms)
{
    QElapsedTimer wall;
    const double cpu0 = process_cpu_ms();
    wall.start();
    run_events_for(ms);
    return 100.0 * (process_cpu_ms() - cpu0) / (wall.nsecsElapsed() / 1e6);
}

// One tick by a direct call; Timer1 is stopped after it, since the position
// read switches it on again and a tick it fired would nest inside the next.
inline void tick(mivo::ConsoleApplication& app)
{
    app.window().Timer1_Timer();
    app.console().Timer1().stop();
}

struct TickSpans {
    double median = 0, max = 0;  // as ratios to kTickMinimumMs
    int full = 0;                // ticks that carried all three reads
};

// ticks direct ticks after a warm-up, each timed and its lines checked.
inline TickSpans time_ticks(mivo::ConsoleApplication& app, mivo::sim::SimHarness& sim, int ticks)
{
    app.console().Timer1().stop();
    tick(app);  // warm-up
    std::vector<double> ratios;
    TickSpans spans;
    for (int i = 0; i < ticks; ++i) {
        sim.clear_log();
        QElapsedTimer t;
        t.start();
        app.window().Timer1_Timer();
        ratios.push_back(t.nsecsElapsed() / 1e6 / kTickMinimumMs);
        app.console().Timer1().stop();
        if (received_lines(sim) == QStringList{"RV 0", "RV 2", "RV 5"})
            ++spans.full;
    }
    std::sort(ratios.begin(), ratios.end());
    spans.median = ratios[ratios.size() / 2];
    spans.max = ratios.back();
    return spans;
}

}  // namespace bench
