// mivo-cli as a script runs it: a process on the simulator's line, judged by
// its exit status, its output and what reached the drives.
#include "console/settings_file.h"
#include "link/command_exchange.h"
#include "link/system_serial_port.h"

#include "../support/sim_line.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace mivo;

class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    Run cli(const QStringList& args, const QString& port = {})
    {
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE),
                QStringList{"--port", port.isEmpty() ? QString::fromStdString(sim->path()) : port} + args);
        if (!p.waitForFinished(60000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    static settings_file::Values values_of(const QString& text)
    {
        const auto parsed = settings_file::parse(text);
        return std::holds_alternative<settings_file::Values>(parsed) ? std::get<settings_file::Values>(parsed)
                                                                     : settings_file::Values{};
    }
    static QString read_text(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void init()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0,5"});
    }
    void cleanup() { sim.reset(); }

    // Status 2: nothing opened, nothing sent.
    void bad_usage_and_bad_files_send_nothing()
    {
        QCOMPARE(cli({}).status, 2);
        QCOMPARE(cli({"fly", "--station", "5"}).status, 2);
        QCOMPARE(cli({"read"}).status, 2);                      // no station
        QCOMPARE(cli({"read", "--station", "32"}).status, 2);   // only send takes all
        QCOMPARE(cli({"watch", "--station", "5", "--count", "0"}).status, 2);
        QCOMPARE(cli({"compare", "--station", "5", file("absent")}).status, 2);

        QFile bad(file("bad"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("# changed by hand\nP3=120\nV9=1\nP4=10\n");
        bad.close();
        const Run r = cli({"restore", bad.fileName(), "--station", "5", "--save"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(bad.fileName() + ":3:"), qPrintable(r.err));
        QVERIFY(received_lines(*sim).isEmpty());
    }

    void a_port_that_cannot_be_opened_gives_3()
    {
        const Run r = cli({"read", "--station", "5"}, file("no-such-port"));
        QCOMPARE(r.status, 3);
        QVERIFY(r.out.isEmpty());
    }

    void a_station_that_does_not_answer_gives_4()
    {
        const Run r = cli({"read", "--station", "9"});
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("Station 9 did not answer."), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        // Nothing but the selection went out.
        for (const QString& line : received_lines(*sim))
            QVERIFY2(line == "ST 9" || line == "RV 4", qPrintable(line));
    }

    void backup_compare_restore()
    {
        const QString backup = file("station5");
        QCOMPARE(cli({"backup", backup, "--station", "5"}).status, 0);
        QVERIFY(read_text(backup).contains("# drive: MIVO-S 2.31\n"));

        const Run read = cli({"--station", "5", "read"});
        QCOMPARE(read.status, 0);
        QVERIFY(read.out.startsWith("# MIVO drive settings, written by mivo-cli "));
        QCOMPARE(values_of(read.out), values_of(read_text(backup)));

        QCOMPARE(cli({"compare", backup, "--station", "5"}).status, 0);

        const Run sent = cli({"send", "WT 0 3 77", "--station", "5"});
        QCOMPARE(sent.status, 0);
        QCOMPARE(sent.out, QStringLiteral(">\n"));
        const Run differs = cli({"compare", backup, "--station", "5"});
        QCOMPARE(differs.status, 1);
        QCOMPARE(differs.out, QStringLiteral("P3: drive 77, file 120\n"));

        sim->clear_log();
        const Run restored = cli({"restore", backup, "--station", "5", "--save"});
        QCOMPARE(restored.status, 0);
        const QStringList rx = received_lines(*sim);
        QVERIFY(rx.contains("WT 0 3 120"));
        QVERIFY(rx.contains("SV"));
        QCOMPARE(rx.filter(QRegularExpression("^WT ")).size(), 1);
        QCOMPARE(cli({"compare", backup, "--station", "5"}).status, 0);
    }

    void fast_backup_holds_the_same_values()
    {
        QCOMPARE(cli({"backup", file("slow"), "--station", "5"}).status, 0);
        QCOMPARE(cli({"backup", file("fast"), "--station", "5", "--fast"}).status, 0);
        const settings_file::Values fast = values_of(read_text(file("fast")));
        QVERIFY(std::all_of(fast.begin(), fast.end(), [](const auto& v) { return v.has_value(); }));
        QCOMPARE(fast, values_of(read_text(file("slow"))));
    }

    // What --fast switches on: a reply is taken at its prompt, and a drive
    // that sends none still gets the window's whole wait.
    void the_fast_exchange_ends_at_the_prompt()
    {
        SystemSerialPort port;
        QVERIFY(port.open(QString::fromStdString(sim->path()), "115200,N,8,1"));
        CommandExchange exchange(port);
        exchange.set_fast(true);
        QElapsedTimer clock;
        clock.start();
        const CommandExchange::Reply reply = exchange.get_mivo_response("RD 0 3", "P3=");
        QCOMPARE(reply.value, QStringLiteral("120"));
        QVERIFY2(clock.elapsed() < CommandExchange::kReplyWaitMs, qPrintable(QString::number(clock.elapsed())));

        exchange.send_mivo_command("ST 9");
        clock.restart();
        QVERIFY(!exchange.get_mivo_response("RV 4", {}).complete);
        QVERIFY(clock.elapsed() >= CommandExchange::kReplyWaitMs);
    }

    void send_to_all_stations_expects_no_reply()
    {
        const Run r = cli({"send", "WT 0 3 77", "--station", "32"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(cli({"send", "RD 0 3", "--station", "0"}).out, QStringLiteral("P3=77\n>\n"));
    }

    void scan_lists_the_stations_that_answer()
    {
        const Run r = cli({"scan"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("0\n5\n"));
    }

    void watch_gives_a_header_and_a_row_a_tick()
    {
        const Run r = cli({"watch", "--station", "5", "--count", "2"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("time_ms,position,state,inputs"));
        const QRegularExpression row("^[0-9]+,0,[0-9A-F]+,[0-9A-F]+$");
        QVERIFY2(row.match(lines[1]).hasMatch(), qPrintable(lines[1]));
        QVERIFY2(row.match(lines[2]).hasMatch(), qPrintable(lines[2]));
        QVERIFY(lines[1].section(',', 0, 0).toInt() < lines[2].section(',', 0, 0).toInt());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
