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

#include "poll_support.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

using namespace bench;

void measure_tick_length(int ticks)
{
    mivo::sim::SimHarness sim({"--stations", "3"});
    mivo::ConsoleApplication app;
    mivo::Form1& form = app.window();
    form.show();
    if (!open_port(app, QString::fromStdString(sim.path())) || !select_station_3(app)) {
        std::printf("tick, both boxes: not measured\n");
        return;
    }
    const TickSpans spans = time_ticks(app, sim, ticks);
    std::printf("tick, both boxes: median %.3f x 250 ms, max %.3f (goal <= 1.03)  "
                "[%d direct Timer1_Timer() calls, in-process simulator; %d carried RV 0, RV 2, RV 5]\n",
                spans.median, spans.max, ticks, spans.full);
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
        if (!open_port(*app, link)) {
            std::printf("CPU and memory: not measured\n");
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
