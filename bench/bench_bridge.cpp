// mivo-cli bridge with 32 stations (mivo-drive-sim and Debian's mosquitto,
// each in a process of its own):
// - the time from a drive's state change (the simulator's stamp of the "EN 1"
//   that changed it) to its state message at a subscriber; goal: at most one
//   Line round plus 50 ms, the round taken from the simulator's stamps of the
//   rounds' select lines;
// - the bridge's CPU while it reads the line; goal at most 3 %;
// - its resident memory while the broker is restarted again and again; goal:
//   flat. "bench_bridge --long" restarts it every minute for ten minutes.
#include "../tests/bridge/mqtt_fixture.h"
#include "median.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

double now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// utime + stime of a process, in seconds.
double cpu_s(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

long rss_kb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The simulator's received lines: (stamp, text).
std::vector<std::pair<double, QString>> received(const QString& log)
{
    std::vector<std::pair<double, QString>> out;
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    static const QRegularExpression rx(QStringLiteral("^([0-9.]+) rx \"(.*)\"$"));
    for (const QByteArray& line : f.readAll().split('\n')) {
        const auto m = rx.match(QString::fromUtf8(line));
        if (m.hasMatch())
            out.emplace_back(m.captured(1).toDouble(), m.captured(2));
    }
    return out;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool long_run = app.arguments().contains(QStringLiteral("--long"));
    QTemporaryDir dir;
    Broker broker(dir, QStringLiteral("allow_anonymous true"));
    if (!broker.start()) {
        std::fprintf(stderr, "bench_bridge: mosquitto did not start\n");
        return 1;
    }
    QStringList all;
    for (int s = 0; s < 32; ++s)
        all << QString::number(s);
    const QString link = dir.filePath(QStringLiteral("line"));
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    QProcess sim;
    sim.start(QStringLiteral(MIVO_DRIVE_SIM), {"--stations", all.join(u','), "--link", link, "--log", log});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_bridge: the simulator did not start\n");
        return 1;
    }
    Subscriber sub(broker.port(), QStringLiteral("bench/station/+/state"));
    QProcess bridge;
    bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bridge.start(QStringLiteral(MIVO_CLI), {"--port", link, "--stations", "0-31", "bridge", "--mqtt",
                                            QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), "--prefix",
                                            "bench", "--allow", "servo"});
    for (int s = 0; s < 32; ++s)
        if (!sub.wait_for(QStringLiteral("bench/station/%1/state").arg(s),
                          [](const QJsonObject& o) { return o.value("online").toBool(); }, 30000)) {
            std::fprintf(stderr, "bench_bridge: station %d never came online\n", s);
            return 1;
        }

    // CPU while the line is read and nothing changes.
    const int quiet_ms = 20000;
    const double cpu0 = cpu_s(bridge.processId());
    const double wall0 = now_ms();
    QTest::qWait(quiet_ms);
    const double cpu_share = (cpu_s(bridge.processId()) - cpu0) * 1000.0 / (now_ms() - wall0);
    // One round: station 0's select lines from one round to the next.
    std::vector<double> rounds;
    double last_select = -1;
    for (const auto& [stamp, text] : received(log)) {
        if (stamp < wall0 || text != QStringLiteral("ST 0"))
            continue;
        if (last_select >= 0)
            rounds.push_back(stamp - last_select);
        last_select = stamp;
    }
    const double round_ms = rounds.empty() ? -1 : median(rounds);

    // State changes: "servo on" through the bridge, one station after another.
    std::vector<double> latencies;
    for (int k = 0; k < 10; ++k) {
        const int s = (k * 7 + 3) % 32;
        const QString topic = QStringLiteral("bench/station/%1/state").arg(s);
        const qsizetype seen_before = sub.messages.size();
        // Not waited for here: the subscriber's messages are taken as they come.
        QProcess::startDetached(QStringLiteral("mosquitto_pub"),
                                {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t",
                                 QStringLiteral("bench/station/%1/cmd").arg(s), "-m", "{\"op\":\"servo\",\"on\":true}"});
        double seen = -1;
        (void)QTest::qWaitFor([&] {
            for (qsizetype i = seen_before; i < sub.messages.size(); ++i)
                if (sub.messages[i].first == topic &&
                    QJsonDocument::fromJson(sub.messages[i].second).object().value("state_bits").toArray().contains("SVON")) {
                    seen = double(sub.arrived[i]);
                    return true;
                }
            return false;
        }, 10000);
        double changed = -1;
        for (const auto& [stamp, text] : received(log))
            if (text == QStringLiteral("EN 1") && stamp <= seen)
                changed = stamp;
        if (seen > 0 && changed > 0)
            latencies.push_back(seen - changed);
        QTest::qWait(300);
    }

    std::printf("bench_bridge: 32 stations, one Line round %.0f ms (median of %zu)\n", round_ms, rounds.size());
    std::printf("  state change to subscriber: median %.0f ms, worst %.0f ms (goal <= %.0f ms)\n", latencies.empty() ? -1 : median(latencies),
                latencies.empty() ? -1.0 : *std::max_element(latencies.begin(), latencies.end()), round_ms + 50);
    std::printf("  each (ms):");
    for (const double ms : latencies)
        std::printf(" %.0f", ms);
    std::printf("\n");
    std::printf("  CPU while reading the line: %.1f %% (goal <= 3 %%)\n", cpu_share * 100.0);

    // Memory with the broker restarted again and again.
    const int restarts = long_run ? 10 : 5;
    const int every_ms = long_run ? 60000 : 6000;
    const long rss_start = rss_kb(bridge.processId());
    std::printf("  resident memory: %ld KiB at the start", rss_start);
    for (int i = 0; i < restarts; ++i) {
        QTest::qWait(every_ms - 1500);
        broker.stop();
        QTest::qWait(1500);
        broker.start();
        std::printf(", %ld", rss_kb(bridge.processId()));
        std::fflush(stdout);
    }
    QTest::qWait(5000);
    std::printf(" KiB after %d broker restarts %d s apart; %ld KiB at the end\n", restarts, every_ms / 1000,
                rss_kb(bridge.processId()));
    bridge.terminate();
    bridge.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
