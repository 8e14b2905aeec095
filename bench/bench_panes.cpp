// What the "Wire Log" and "Recorder" panes cost once both logs are full,
// with both panes shown through the View menu:
// - the console's resident memory with both logs full and both panes shown,
//   against the window alone with the link open and the logs empty;
// - the console's CPU while Timer1 polls station 3 with both "FeedBack"
//   boxes ticked, first with the panes hidden, then with both shown and the
//   recorder following; the simulator runs in a process of its own so that
//   the process's CPU time is the console's;
// - the length of one tick against bench_poll's minimum of 250 ms, on an
//   in-process simulated line;
// - one refresh and repaint of the recorder, a day and the first minute in
//   view;
// - one append to each log, empty, partly full, full and wrapping: it
//   should not depend on how full the log is.
//
//     bench_panes [--seconds N]    N seconds of polling for the CPU (default 20)
#include "console/recorder.h"
#include "link/wire_log.h"
#include "window/recorder_pane.h"
#include "window/wire_log_pane.h"

#include "poll_support.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace bench;
using mivo::Recorder;
using mivo::WireLog;

constexpr qint64 kSampleMs = 500;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A day of polling as the recorder would have kept it: the position runs
// back and forth between -20000 and 20000 every 10 s, and a few state and
// input bits change every few seconds.
Recorder::Sample synthetic_sample(qint64 t)
{
    constexpr double kAmplitude = 20000, kPeriodMs = 10000;
    const double phase = double(t % qint64(kPeriodMs)) / kPeriodMs;
    Recorder::Sample s;
    s.msecs_since_epoch = t;
    s.position = std::round(4 * kAmplitude * std::abs(phase - 0.5) - kAmplitude);
    const qint64 sec = t / 1000;
    quint32 state = 1u << 2;  // SVON throughout
    if ((sec / 3) % 2)
        state |= 1u << 5;
    if (phase < 0.5)
        state |= 1u << 3;
    if ((sec / 7) % 2)
        state |= 1u << 7;
    s.state = state;
    s.inputs = quint16(((sec / 2) % 2) | (((sec / 4) % 2) << 1));
    return s;
}

// A poll's rows: each line written and its reply, every row with bytes of
// its own as the exchange leaves them.
WireLog::Row synthetic_row(qint64 i, qint64 t)
{
    static const char* const kReads[] = {"RV 0", "RV 2", "RV 5"};
    const qint64 read = (i / 2) % 3;
    WireLog::Row row;
    row.msecs_since_epoch = t;
    row.source = QStringLiteral("poll");
    if (i % 2 == 0) {
        row.direction = WireLog::Direction::ToDrive;
        row.bytes = QByteArray(kReads[read]) + '\r';
    } else {
        row.direction = WireLog::Direction::FromDrive;
        row.bytes = QByteArray("P") + QByteArray::number(read) + '=' + QByteArray::number(i % 40000 - 20000) + "\r\n>";
    }
    return row;
}

// Both logs to their bounds, ending now.
void fill_logs(mivo::Console& console)
{
    mivo::Recorder& recorder = console.recorder();
    recorder.clear();
    const qint64 now = recorder.now();
    for (qsizetype i = 0; i < Recorder::kCapacity; ++i)
        recorder.append(synthetic_sample(now - (Recorder::kCapacity - 1 - i) * kSampleMs));
    mivo::WireLog& log = console.wire_log();
    log.clear();
    // Six rows a tick, two ticks a second.
    for (qsizetype i = 0; i < WireLog::kCapacity; ++i)
        log.append(synthetic_row(i, now - (WireLog::kCapacity - 1 - i) * kSampleMs / 6));
}

bool show_panes(mivo::ConsoleApplication& app)
{
    mivo::Form1& form = app.window();
    for (QAction* item : {form.controls().mnu_view_wire_log, form.controls().mnu_view_recorder})
        if (!item->isChecked())
            item->trigger();
    run_events_for(500);  // the docks settle and the window grows to hold them
    if (!form.wire_log_dock()->isVisible() || !form.recorder_dock()->isVisible()) {
        std::printf("panes not shown through the View menu\n");
        return false;
    }
    return true;
}

// Counts the paints of a widget, to show how often a following recorder
// is drawn against the ticks.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : QObject(widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

QWidget* position_chart_viewport(mivo::Form1& form)
{
    auto* view = form.recorder_dock()->findChild<QAbstractScrollArea*>(QStringLiteral("recorder_position_chart"));
    return view ? view->viewport() : nullptr;
}

void measure_memory_and_cpu(int seconds)
{
    const QString link = QDir::temp().filePath(QStringLiteral("mivo-bench-panes-%1").arg(QCoreApplication::applicationPid()));
    QProcess simulator;
    if (!start_simulator(simulator, link, {"--stations", "3"})) {
        std::printf("memory and CPU: not measured, %s did not serve %s\n", MIVO_DRIVE_SIM, qPrintable(link));
        simulator.kill();
        simulator.waitForFinished(3000);
        return;
    }
    {
        auto app = std::make_unique<mivo::ConsoleApplication>();
        mivo::Form1& form = app->window();
        form.show();
        if (open_port(*app, link)) {
            run_events_for(1000);  // let the window settle after showing
            // What the poll costs the console without the panes.
            if (select_station_3(*app)) {
                const double hidden = cpu_percent_over(seconds * 1000);
                std::printf("CPU polling, both boxes, panes hidden: %.2f %% of one core over %d s\n", hidden, seconds);
                app->console().Timer1().stop();
            }
            app->console().wire_log().clear();
            app->console().recorder().clear();
            const long idle = rss_kb();

            QElapsedTimer t;
            t.start();
            fill_logs(app->console());
            const double fill_ms = t.nsecsElapsed() / 1e6;
            t.restart();
            const bool shown = show_panes(*app);
            const double show_ms = t.nsecsElapsed() / 1e6 - 500;
            run_events_for(1500);
            const long full = rss_kb();
            std::printf("memory, logs full + both panes shown vs idle: VmRSS %ld kB -> %ld kB, +%.1f MB  "
                        "[idle: window shown, link open, panes hidden, logs empty; full: %lld samples, "
                        "%lld rows; filling took %.0f ms, showing the panes %.0f ms]\n",
                        idle, full, (full - idle) / 1024.0, static_cast<long long>(app->console().recorder().size()),
                        static_cast<long long>(app->console().wire_log().size()), fill_ms, show_ms);

            if (shown && select_station_3(*app)) {
                int fired = 0;
                QObject counter;
                QObject::connect(&app->console().Timer1(), &QTimer::timeout, &counter, [&] { ++fired; });
                auto* paints = new PaintCounter(position_chart_viewport(form));
                const double polling = cpu_percent_over(seconds * 1000);
                std::printf("CPU polling, both boxes, both panes shown, logs full, recorder following: "
                            "%.2f %% of one core over %d s, %d ticks by Timer1, %d position chart paints "
                            "(goal <= 2 %%)\n",
                            polling, seconds, fired, paints->paints);
                app->console().Timer1().stop();
            }
        }
        with_messages([&] { app.reset(); });
    }
    stop_simulator(simulator);
}

// Times refresh() and then the recorder dock's repaint, what a deferred
// layout of the charts posted included.
void time_refresh(mivo::Form1& form, const char* what)
{
    mivo::RecorderPane& pane = form.recorder_pane();
    QDockWidget* dock = form.recorder_dock();
    std::vector<double> refresh_ms, repaint_ms, total_ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer t;
        t.start();
        pane.refresh();
        const qint64 refreshed = t.nsecsElapsed();
        QCoreApplication::sendPostedEvents();
        dock->repaint();
        const qint64 painted = t.nsecsElapsed();
        if (i == 0)
            continue;  // warm-up
        refresh_ms.push_back(refreshed / 1e6);
        repaint_ms.push_back((painted - refreshed) / 1e6);
        total_ms.push_back(painted / 1e6);
    }
    std::printf("recorder refresh + repaint, %s: median %.2f ms (refresh %.2f, repaint %.2f), max %.2f ms "
                "(goal <= 16 ms)  [%zu repetitions, span %.0f s, following %s, dock %dx%d]\n",
                what, median(total_ms), median(refresh_ms), median(repaint_ms),
                *std::max_element(total_ms.begin(), total_ms.end()), total_ms.size(),
                double(pane.span_end() - pane.span_begin()) / 1000.0, pane.following() ? "yes" : "no",
                dock->width(), dock->height());
}

void measure_ticks_and_repaint(int ticks)
{
    mivo::sim::SimHarness sim({"--stations", "3"});
    mivo::ConsoleApplication app;
    mivo::Form1& form = app.window();
    form.show();
    if (!open_port(app, QString::fromStdString(sim.path()))) {
        std::printf("tick and repaint: not measured\n");
        return;
    }
    fill_logs(app.console());
    if (!show_panes(app) || !select_station_3(app)) {
        std::printf("tick and repaint: not measured\n");
        with_messages([&] { form.close(); });
        return;
    }
    const TickSpans spans = time_ticks(app, sim, ticks);
    std::printf("tick, both boxes, both panes shown, logs full: median %.3f x 250 ms, max %.3f (goal <= 1.03)  "
                "[%d direct Timer1_Timer() calls, in-process simulator; %d carried RV 0, RV 2, RV 5; "
                "250 ms is bench_poll's minimum]\n",
                spans.median, spans.max, ticks, spans.full);

    // The pane still follows, at the span it starts with.
    run_events_for(200);
    time_refresh(form, "following, 60 s in view");
    const Recorder& recorder = app.console().recorder();
    form.recorder_pane().show_span(recorder.at(0).msecs_since_epoch,
                                   recorder.at(recorder.size() - 1).msecs_since_epoch);
    time_refresh(form, "whole recorder, 24 h in view");
    with_messages([&] { form.close(); });
}

// ns per append over a batch, the log first filled to the given level; the
// batch is made beforehand so that only the appends are timed.
template <typename Log, typename Make>
double ns_per_append(qsizetype level, Make make)
{
    constexpr int kBatch = 10'000, kRuns = 5;
    std::vector<double> runs;
    for (int r = 0; r < kRuns; ++r) {
        Log log;
        for (qsizetype i = 0; i < level; ++i)
            log.append(make(i));
        std::vector<decltype(make(0))> batch;
        batch.reserve(kBatch);
        for (qsizetype i = 0; i < kBatch; ++i)
            batch.push_back(make(level + i));
        QElapsedTimer t;
        t.start();
        for (auto& item : batch)
            log.append(std::move(item));
        runs.push_back(double(t.nsecsElapsed()) / kBatch);
    }
    return median(runs);
}

void measure_appends()
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    const auto row = [start](qint64 i) { return synthetic_row(i, start + i * kSampleMs / 6); };
    const auto sample = [start](qint64 i) { return synthetic_sample(start + i * kSampleMs); };
    const auto levels = [](qsizetype capacity) {
        return std::vector<qsizetype>{0, capacity / 4, capacity / 2, capacity, capacity + capacity / 2};
    };
    const auto print = [](const char* what, qsizetype capacity, const std::vector<qsizetype>& at,
                          const std::vector<double>& ns) {
        std::printf("%s append, ns per append at fill 0 / 25 / 50 / 100 / 150 %% of %lld:", what,
                    static_cast<long long>(capacity));
        for (std::size_t i = 0; i < at.size(); ++i)
            std::printf(" %.0f", ns[i]);
        std::printf("  [batches of 10,000, median of 5 runs; 100 %% and 150 %% wrap the ring]\n");
    };
    std::vector<double> ns;
    const auto row_levels = levels(WireLog::kCapacity);
    for (const qsizetype level : row_levels)
        ns.push_back(ns_per_append<mivo::WireLog>(level, row));
    print("WireLog row", WireLog::kCapacity, row_levels, ns);
    ns.clear();
    const auto sample_levels = levels(Recorder::kCapacity);
    for (const qsizetype level : sample_levels)
        ns.push_back(ns_per_append<mivo::Recorder>(level, sample));
    print("Recorder sample", Recorder::kCapacity, sample_levels, ns);
}

}  // namespace

int main(int argc, char* argv[])
{
    bench::default_to_offscreen();
    QApplication app(argc, argv);
    int seconds = 20;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = std::max(1, args[i + 1].toInt());

    // Memory first, before the other runs have grown the heap.
    measure_memory_and_cpu(seconds);
    measure_ticks_and_repaint(20);
    measure_appends();
    return 0;
}
