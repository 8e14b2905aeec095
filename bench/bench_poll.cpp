// Cost of the status poll through the real window, with station 3 selected
// and both "FeedBack" boxes ticked:
// - the length of one tick against its minimum of 250 ms (three reads with
//   their 50 ms waits, two 50 ms pauses), on an in-process simulated line;
// - the console's CPU while Timer1 polls, and while the link is open with no
//   station selected, with the simulator in a process of its own so that the
//   process's CPU time is the console's alone;
// - the console's resident memory after a long run of ticks against after
//   a few, on the same separate simulator. The wire log and the recorder
//   grow by each tick's rows and sample until they are full (about 15 MB
//   and 8 MB), so this is their growth as well as any leak's.
//
//     bench_poll [--ticks N]    N ticks for the memory run (default 1000)
#include "sim_harness.h"
#include "app/console_application.h"

#include "../tests/support/cpu_time.h"
#include "../tests/support/sim_line.h"
#include "bench_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace bench;

constexpr double kTickMinimumMs = 3 * 50 + 2 * 50;

bool select_station_3(mivo::ConsoleApplication& app)
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

// One tick by a direct call; Timer1 is stopped after it, since the position
// read switches it on again and a tick it fired would nest inside the next.
void tick(mivo::ConsoleApplication& app)
{
    app.window().Timer1_Timer();
    app.console().Timer1().stop();
}

// Process CPU over ms of the event loop, in percent of one core.
double cpu_percent_over(int ms)
{
    QElapsedTimer wall;
    const double cpu0 = process_cpu_ms();
    wall.start();
    run_events_for(ms);
    return 100.0 * (process_cpu_ms() - cpu0) / (wall.nsecsElapsed() / 1e6);
}

void measure_tick_length(int ticks)
{
    mivo::sim::SimHarness sim({"--stations", "3"});
    mivo::ConsoleApplication app;
    mivo::Form1& form = app.window();
    form.show();
    const QStringList opened = with_messages([&] {
        form.controls().cbb_port_num->setEditText(QString::fromStdString(sim.path()));
        form.controls().cmd_port_open->click();
    });
    if (opened != QStringList{"Port Open"} || !select_station_3(app)) {
        std::printf("tick, both boxes: not measured (port: %s)\n", qPrintable(opened.join(" | ")));
        return;
    }
    app.console().Timer1().stop();
    tick(app);  // warm-up

    std::vector<double> ratios;
    int full = 0;
    for (int i = 0; i < ticks; ++i) {
        sim.clear_log();
        QElapsedTimer t;
        t.start();
        form.Timer1_Timer();
        ratios.push_back(t.nsecsElapsed() / 1e6 / kTickMinimumMs);
        app.console().Timer1().stop();
        if (received_lines(sim) == QStringList{"RV 0", "RV 2", "RV 5"})
            ++full;
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("tick, both boxes: median %.3f x 250 ms, max %.3f (goal <= 1.03)  "
                "[%d direct Timer1_Timer() calls, in-process simulator; %d carried RV 0, RV 2, RV 5]\n",
                ratios[ratios.size() / 2], ratios.back(), ticks, full);
    with_messages([&] { form.close(); });
}

void measure_cpu_and_memory(int long_ticks)
{
    const QString link = QDir::temp().filePath(QStringLiteral("mivo-bench-poll-%1").arg(QCoreApplication::applicationPid()));
    QProcess simulator;
    if (!start_simulator(simulator, link, {"--stations", "3"})) {
        std::printf("CPU and memory: not measured, %s did not serve %s\n", MIVO_DRIVE_SIM, qPrintable(link));
        simulator.kill();
        simulator.waitForFinished(3000);
        return;
    }

    {
        auto app = std::make_unique<mivo::ConsoleApplication>();
        mivo::Form1* form = &app->window();
        form->show();
        const QStringList opened = with_messages([&] {
            form->controls().cbb_port_num->setEditText(link);
            form->controls().cmd_port_open->click();
        });
        if (opened != QStringList{"Port Open"}) {
            std::printf("CPU and memory: not measured (port: %s)\n", qPrintable(opened.join(" | ")));
        } else {
            constexpr int kSpanMs = 10000;
            run_events_for(1000);  // let the window settle after showing
            const double idle = cpu_percent_over(kSpanMs);
            std::printf("CPU idle, link open, no station: %.3f %% of one core over %d s (goal <= 0.2 %%)\n", idle,
                        kSpanMs / 1000);

            if (select_station_3(*app)) {
                int fired = 0;
                QObject counter;
                QObject::connect(&app->console().Timer1(), &QTimer::timeout, &counter, [&] { ++fired; });
                const double polling = cpu_percent_over(kSpanMs);
                std::printf("CPU polling, both boxes: %.3f %% of one core over %d s, %d ticks by Timer1 "
                            "(goal <= 2 %%)\n",
                            polling, kSpanMs / 1000, fired);

                app->console().Timer1().stop();
                constexpr int kFirstTicks = 10;
                QElapsedTimer t;
                t.start();
                for (int i = 0; i < kFirstTicks; ++i)
                    tick(*app);
                const long after_first = rss_kb();
                for (int i = kFirstTicks; i < long_ticks; ++i)
                    tick(*app);
                const long after_all = rss_kb();
                std::printf("memory, %d ticks against %d: VmRSS %ld kB -> %ld kB, growth %.3f MB (goal <= 1 MB)  "
                            "[both boxes, back to back by direct Timer1_Timer() calls, %.0f s]\n",
                            long_ticks, kFirstTicks, after_first, after_all, (after_all - after_first) / 1024.0,
                            t.elapsed() / 1000.0);
            }
        }
        with_messages([&] { app.reset(); });
    }
    stop_simulator(simulator);
}

}  // namespace

int main(int argc, char* argv[])
{
    bench::default_to_offscreen();
    QApplication app(argc, argv);
    int long_ticks = 1000;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--ticks")); i > 0 && i + 1 < args.size())
        long_ticks = std::max(11, args[i + 1].toInt());

    measure_tick_length(20);
    measure_cpu_and_memory(long_ticks);
    return 0;
}
