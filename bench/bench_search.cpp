// Duration of a station search through the real window, over a silent line
// and over a line with a drive at every station, as ratios to the protocol's
// minimum: a silent station costs at least 50 + 100 + 50 + 50 + 100 ms, an
// answering one at least 50 + 5 + 50 + 50 + 5 ms.
// Then the tool's sweep on the console core, paced and with --fast (each
// probe ended by its prompt), over the same two lines and one with three
// drives: the fast one's ratio to the paced one, goal at most 0.3, whether
// both found the same stations, and the process's CPU (the simulator's
// thread included) during the fast one.
#include "console_on_line.h"
#include "sim_harness.h"
#include "app/console_application.h"
#include "link/system_serial_port.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

double cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Closes every message box as soon as it shows.
void accept_messages()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    timer->start(5);
}

void run(const char* name, const std::vector<std::string>& args, double minimum_ms)
{
    mivo::sim::SimHarness sim(args);
    mivo::ConsoleApplication app;
    mivo::Form1& form = app.window();
    form.show();
    form.controls().cbb_port_num->setEditText(QString::fromStdString(sim.path()));
    form.cmd_port_open_Click();

    QElapsedTimer t;
    const double cpu0 = cpu_ms();
    t.start();
    app.console().stations().search_and_show_all_station();
    const double took = t.nsecsElapsed() / 1e6;
    const double cpu = cpu_ms() - cpu0;
    std::printf("%-22s %8.0f ms  minimum %6.0f ms  ratio %.3f  CPU %4.1f%%  listed %d\n", name, took, minimum_ms,
                took / minimum_ms, 100 * cpu / took, form.controls().cbb_station_num->count());
}

struct Sweep {
    double ms = 0;
    double cpu_percent = 0;
    QList<int> found;
};

Sweep sweep_on_core(const std::vector<std::string>& args, bool fast)
{
    mivo::sim::SimHarness sim(args);
    mivo::SystemSerialPort port;
    mivo::Console console(port);
    bench::CommView view;
    console.set_view(&view);
    console.port_control().open(QString::fromStdString(sim.path()));
    console.exchange().set_fast(fast);
    QElapsedTimer t;
    const double cpu0 = cpu_ms();
    t.start();
    Sweep s;
    s.found = console.line_operations().search().value_or(QList<int>{-1});
    s.ms = t.nsecsElapsed() / 1e6;
    s.cpu_percent = 100 * (cpu_ms() - cpu0) / s.ms;
    console.shut_down();
    return s;
}

void compare_sweeps(const char* name, const std::vector<std::string>& args)
{
    const Sweep paced = sweep_on_core(args, false);
    const Sweep fast = sweep_on_core(args, true);
    std::printf("%-22s paced %6.0f ms  fast %6.0f ms  ratio %.3f (goal at most 0.3)  CPU %4.1f%%  %s stations\n",
                name, paced.ms, fast.ms, fast.ms / paced.ms, fast.cpu_percent,
                fast.found == paced.found ? "same" : "DIFFERENT");
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    accept_messages();
    std::string all;
    for (int n = 0; n <= 31; ++n)
        all += (n ? "," : "") + std::to_string(n);
    run("silent line", {"--stations", "0", "--silent", "0"}, 32 * 350.0);
    run("32 drives", {"--stations", all}, 32 * 160.0);
    std::printf("the tool's sweep (scan, --stations all), paced and --fast:\n");
    compare_sweeps("silent line", {"--stations", "0", "--silent", "0"});
    compare_sweeps("32 drives", {"--stations", all});
    compare_sweeps("3 of 32", {"--stations", "1,2,5"});
    return 0;
}
