// The console's memory and the length of one terminal exchange while the
// line sends bytes nobody asked for (a streaming drive, a noisy cable).
// The simulator, in a process of its own, sends its burst after the first
// line it receives:
// - 60 s of a full 115200-baud line (691,200 bytes): memory while idle with
//   the stream waiting, and after one terminal exchange; goal at most 10 MB
//   above idle;
// - 40 MB at pseudo-terminal speed: the same, and how long one exchange takes.
#include "app/console_application.h"
#include "window/form1.h"
#include "window/transcript_box.h"

#include "bench_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>

namespace {

using namespace bench;

void enter_line(mivo::Form1& form, const QString& line)
{
    form.controls().tx_command->setText(line);
    QTest::keyClick(form.controls().tx_command, Qt::Key_Return);
}

void measure(const char* what, long burst_bytes)
{
    const QString link = QDir::temp().filePath(QStringLiteral("mivo-bench-stream-%1").arg(QCoreApplication::applicationPid()));
    QProcess simulator;
    if (!start_simulator(simulator, link, {"--stations", "1", "--burst", QString::number(burst_bytes)})) {
        std::printf("%s: not measured, the simulator did not serve\n", what);
        stop_simulator(simulator);
        return;
    }
    {
        mivo::ConsoleApplication app;
        mivo::Form1& form = app.window();
        form.show();
        const QStringList opened = with_messages([&] {
            form.controls().cbb_port_num->setEditText(link);
            form.controls().cmd_port_open->click();
        });
        if (opened != QStringList{"Port Open"}) {
            std::printf("%s: not measured (port: %s)\n", what, qPrintable(opened.join(" | ")));
        } else {
            run_events_for(1000);
            const long idle = rss_kb();
            enter_line(form, QStringLiteral("ST 1"));  // the stream starts
            run_events_for(3000);
            const long streamed = rss_kb();
            QElapsedTimer t;
            t.start();
            enter_line(form, QString());
            const double exchange_ms = t.nsecsElapsed() / 1e6;
            run_events_for(500);
            const long after = rss_kb();
            std::printf("%s: VmRSS idle %ld kB, stream waiting +%.1f MB, after one exchange +%.1f MB "
                        "(goal <= 10 MB); the exchange took %.0f ms and showed %lld characters\n",
                        what, idle, (streamed - idle) / 1024.0, (after - idle) / 1024.0, exchange_ms,
                        static_cast<long long>(form.controls().tx_response->text().size()));
        }
        with_messages([&] { form.close(); });
    }
    stop_simulator(simulator);
}

}  // namespace

int main(int argc, char* argv[])
{
    bench::default_to_offscreen();
    QApplication app(argc, argv);
    measure("60 s of 115200 baud (691200 bytes)", 691200);
    measure("40 MB at pseudo-terminal speed", 40L * 1000 * 1000);
    return 0;
}
