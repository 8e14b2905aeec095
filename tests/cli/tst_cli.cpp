// mivo-cli as a script runs it: a process on the simulator's line, judged by
// its exit status, its output and what reached the drives.
#include "console/settings_file.h"
#include "link/command_exchange.h"
#include "link/system_serial_port.h"

#include "../support/cli_run.h"
#include "../support/sim_line.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace mivo;

class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    using Run = CliRun;
    // How a run is started beside its arguments.
    struct Setup {
        QString port;             // else the simulator's
        QString stdout_file;      // else a pipe
        qint64 file_size_limit = -1;  // RLIMIT_FSIZE: a disk that fills up
    };
    void start(QProcess& p, const QStringList& args) { start(p, args, Setup{{}, {}, -1}); }
    void start(QProcess& p, const QStringList& args, const Setup& setup)
    {
        if (!setup.stdout_file.isEmpty())
            p.setStandardOutputFile(setup.stdout_file, QIODevice::Truncate);
        const qint64 limit = setup.file_size_limit;
        if (limit >= 0) {
            p.setChildProcessModifier([limit] {
                ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
                const rlimit r{rlim_t(limit), rlim_t(limit)};
                ::setrlimit(RLIMIT_FSIZE, &r);
            });
        }
        p.start(QStringLiteral(MIVO_CLI_EXE),
                QStringList{"--port", setup.port.isEmpty() ? QString::fromStdString(sim->path()) : setup.port} + args);
    }
    static Run finish(QProcess& p) { return finish_cli(p); }
    Run cli(const QStringList& args, const Setup& setup)
    {
        QProcess p;
        start(p, args, setup);
        return finish(p);
    }
    Run cli(const QStringList& args, const QString& port = {}) { return cli(args, Setup{port, {}, -1}); }
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }
    QStringList writes() { return received_lines(*sim).filter(QRegularExpression("^(WT|SV)")); }
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

    // Each refused before the port is opened (status 2, nothing sent) and
    // each once taken: nothing reaches the drive, nothing is replaced.
    void refusals_before_the_port_opens_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("send with CR") << QStringList{"send", "RD 0 3\rWT 0 3 1", "--station", "5"} << "line end";
        QTest::newRow("send with LF") << QStringList{"send", "RD 0 3\nWT 0 3 1", "--station", "5"} << "line end";
        QTest::newRow("empty file") << QStringList{"restore", "@empty", "--station", "5"} << "holds no entries";
        QTest::newRow("comments only") << QStringList{"compare", "@comments", "--station", "5"} << "holds no entries";
        QTest::newRow("too large") << QStringList{"restore", "@large", "--station", "5"} << "larger than";
        QTest::newRow("FIFO to back up to") << QStringList{"backup", "@fifo", "--station", "5"} << "not a regular file";
        QTest::newRow("FIFO to compare") << QStringList{"compare", "@fifo", "--station", "5"} << "not a regular file";
        QTest::newRow("long value") << QStringList{"restore", "@long", "--station", "5"} << "no whole number";
        QTest::newRow("link loop to back up to") << QStringList{"backup", "@loop", "--station", "5"} << "loop";
        QTest::newRow("link loop as report")
            << QStringList{"run", "@empty", "--station", "5", "--junit", "@loop"} << "loop";
    }
    void refusals_before_the_port_opens()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        write("empty", "");
        write("comments", "# MIVO drive settings\n# station: 5\n");
        write("large", "# " + QByteArray(2 * 1024 * 1024, 'x') + "\nP3=1\n");
        write("long", "P3=" + QByteArray(1024 * 1024 - 10, '7') + "\n");
        if (!QFileInfo::exists(file("fifo")))
            QCOMPARE(::mkfifo(qPrintable(file("fifo")), 0600), 0);
        if (!QFileInfo(file("loop")).isSymLink())
            QVERIFY(QFile::link(file("loop"), file("loop")));
        for (QString& a : args)
            if (a.startsWith('@'))
                a = file(a.mid(1));
        const Run r = cli(args, Setup{file("no-such-port"), {}, -1});  // 3, were it opened
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QVERIFY2(r.err.size() < 1000, qPrintable(QString::number(r.err.size())));
        QVERIFY(QFileInfo(file("fifo")).isFile() == false);
        QVERIFY(QFileInfo(file("loop")).isSymLink());
    }

    // Data that cannot be written is a failure, and an old file stays whole.
    void output_that_cannot_be_written_gives_2()
    {
        QCOMPARE(cli({"read", "--station", "5"}, Setup{{}, "/dev/full", -1}).status, 2);
        QCOMPARE(cli({"send", "RD 0 3", "--station", "5"}, Setup{{}, "/dev/full", -1}).status, 2);
        QCOMPARE(cli({"watch", "--station", "5", "--count", "3"}, Setup{{}, "/dev/full", -1}).status, 2);
        // A disk that fills up: for standard output, and for the backup.
        const Run full = cli({"read", "--station", "5"}, Setup{{}, file("out"), 100});
        QCOMPARE(full.status, 2);
        const QByteArray old = "# an old backup\nP3=42\n";
        const QString backup = write("old", old);
        const Run r = cli({"backup", backup, "--station", "5"}, Setup{{}, {}, 100});
        QCOMPARE(r.status, 2);
        QVERIFY2(!r.err.contains("backed up"), qPrintable(r.err));
        QCOMPARE(read_text(backup).toUtf8(), old);
        QCOMPARE(QDir(dir.path()).entryList({"old*"}, QDir::Files | QDir::Hidden), QStringList{"old"});
        // A symbolic link to a backup stays a link.
        const QString link = file("link");
        QVERIFY(QFile::link(backup, link));
        QCOMPARE(cli({"backup", link, "--station", "5"}).status, 0);
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(read_text(backup).contains("# drive: MIVO-S 2.31\n"));
    }

    // Two names of one device (a symbolic link and its target): the second
    // tool is refused the port instead of mixing its lines into the first's.
    void one_tool_at_a_time_on_a_port()
    {
        const QString other_name = file("port-link");
        QVERIFY(QFile::link(QFileInfo(QString::fromStdString(sim->path())).canonicalFilePath(), other_name));
        QProcess first;
        start(first, {"watch", "--station", "5", "--count", "8"});
        QTRY_VERIFY(received_lines(*sim).contains("RV 2"));
        const Run second = cli({"read", "--station", "0"}, other_name);
        QCOMPARE(second.status, 3);
        QVERIFY(!second.err.isEmpty());
        QCOMPARE(finish(first).status, 0);
        QVERIFY(!received_lines(*sim).contains("ST 0"));
    }

    // SIGINT, SIGTERM and SIGHUP: the line in flight completes, nothing more
    // goes out, the report says what was written and that nothing was saved,
    // and then the signal ends the process, so that a shell's loop stops.
    void a_signal_ends_a_restore_with_its_report_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void a_signal_ends_a_restore_with_its_report()
    {
        QFETCH(int, signal);
        QByteArray all;
        for (int i = 0; i < 16; ++i)
            all += "P" + QByteArray::number(i) + "=" + QByteArray::number(1000 + i) + "\n";
        const QString restore = write("all", all);
        QProcess p;
        start(p, {"restore", restore, "--station", "5", "--save"});
        QTRY_VERIFY(writes().size() >= 2);
        ::kill(pid_t(p.processId()), signal);
        const Run r = finish(p);
        QCOMPARE(r.signal, signal);
        QVERIFY2(r.err.contains(QRegularExpression("Written: P0(, P[0-9]+)*\\. Nothing was saved\\.")),
                 qPrintable(r.err));
        const int sent = int(writes().size());
        QVERIFY(sent < 16);
        QVERIFY(!writes().contains("SV"));
        QTest::qWait(200);
        QCOMPARE(int(writes().size()), sent);  // nothing after the exit either

        // A watch ends between whole rows, then by the signal as well.
        QProcess watch;
        start(watch, {"watch", "--station", "5"});
        QTRY_VERIFY(watch.bytesAvailable() > 0 && watch.peek(4096).count('\n') >= 2);
        ::kill(pid_t(watch.processId()), signal);
        const Run w = finish(watch);
        QCOMPARE(w.signal, signal);
        QVERIFY(w.out.endsWith('\n'));
    }

    // The drive commands as a script meets them: the lines each one sends
    // after the selection, its exit status, and its JSON document.
    void drive_commands_from_a_script()
    {
        sim = std::make_unique<sim::SimHarness>(
            std::vector<std::string>{"--stations", "5", "--home-ms", "300", "--refuse", "P4"});
        // A failed check inside records the failure; the caller's next check
        // then fails on the empty document.
        const auto run = [&](const QStringList& args, int status, const QStringList& sent) -> QJsonObject {
            sim->clear_log();
            const Run r = cli(QStringList{"--station", "5"} + args);
            const QString said = args.join(' ') + ": " + QString::number(r.status) + " " + r.err;
            if (!QTest::qVerify(r.status == status, "status", qPrintable(said), __FILE__, __LINE__))
                return {};
            // What went out after "ST 5", "ST 5", "RV 4".
            if (!QTest::qCompare(received_lines(*sim).mid(3), sent, "sent", "expected", __FILE__, __LINE__))
                return {};
            return args.contains("--json") ? QJsonDocument::fromJson(r.out.toUtf8()).object()
                                           : QJsonObject{{"text", r.out}};
        };
        const QStringList poll{"RV 0", "RV 2", "RV 5"};
        QCOMPARE(run({"status"}, 0, poll)["text"].toString(),
                 QStringLiteral("position 0\nstate 1 (MF)\ninputs 1 (DI1)\n"));
        QJsonObject doc = run({"status", "--json"}, 0, poll);
        QCOMPARE(doc["station"].toInt(), 5);
        QCOMPARE(doc["state_bits"].toArray(), QJsonArray{"MF"});
        QCOMPARE(doc["input_bits"].toArray(), QJsonArray{"DI1"});
        QCOMPARE(run({"servo", "on", "--json"}, 0, {"EN 1"})["servo"].toBool(), true);
        doc = run({"home", "--json"}, 0, {"HM"});
        QVERIFY(doc["done"].toBool() && doc["time_ms"].toInt() >= 300);
        sim->clear_log();
        const Run moved = cli({"--station", "5", "move", "1000", "--speed", "500", "--wait", "--json"});
        QCOMPARE(moved.status, 0);
        const QStringList move_lines = received_lines(*sim).mid(3);
        QCOMPARE(move_lines.mid(0, 3), (QStringList{"VA 500", "MA 1000", "RV 0"}));
        QVERIFY(move_lines.mid(2).filter("RV 0").size() == move_lines.size() - 2);  // nothing else meanwhile
        doc = QJsonDocument::fromJson(moved.out.toUtf8()).object();
        QVERIFY(doc["reached"].toBool());
        QCOMPARE(doc["position"].toInt(), 1000);
        QCOMPARE(run({"move", "-250"}, 0, {"MA -250"})["text"].toString(), QString());
        QCOMPARE(run({"write", "P3", "77", "--json"}, 0, {"WT 0 3 77", "RD 0 3"})["taken"].toBool(), true);
        // Not taken: exit 1, and the document still says what happened.
        doc = run({"write", "P4", "5", "--json"}, 1, {"WT 0 4 5", "RD 0 4"});
        QCOMPARE(doc["taken"].toBool(true), false);
        QCOMPARE(run({"save", "--json"}, 0, {"SV"})["saved"].toBool(), true);
        QCOMPARE(run({"home", "--timeout", "0.1"}, 4, {"HM"})["text"].toString(), QString());
        run({"servo", "off"}, 0, {"EN 0"});
    }

    // The same commands on several stations in turn: one that does not
    // answer does not stop the others, and each keeps its own document.
    void several_stations_in_turn()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "1,2,5"});
        Run r = cli({"--stations", "1,3,5", "status", "--json"});
        QCOMPARE(r.status, 4);
        const QJsonArray docs = QJsonDocument::fromJson(r.out.toUtf8()).object()["stations"].toArray();
        QCOMPARE(docs.size(), 3);
        QCOMPARE(docs[0].toObject()["state_bits"].toArray(), QJsonArray{"MF"});
        QVERIFY(docs[1].toObject()["position"].isNull() && !docs[1].toObject()["error"].toString().isEmpty());
        QCOMPARE(docs[2].toObject()["station"].toInt(), 5);

        const QString rack = file(QStringLiteral("rack/7"));
        QCOMPARE(cli({"--stations", "all", "--fast", "backup", rack}).status, 0);
        for (const int n : {1, 2, 5}) {
            const QString text = read_text(rack + QStringLiteral("/station-%1.mivo").arg(n));
            QVERIFY2(text.contains(QStringLiteral("# station: %1\n").arg(n)), qPrintable(text));
            QVERIFY(values_of(text)[3]);
        }

        const QString golden = write("golden.mivo", "P3=77\n");
        r = cli({"--stations", "1-2", "restore", golden, "--json"});
        QCOMPARE(r.status, 0);
        for (const QJsonValue d : QJsonDocument::fromJson(r.out.toUtf8()).object()["stations"].toArray())
            QCOMPARE(d.toObject()["written"].toArray(), QJsonArray{"P3"});
        QCOMPARE(writes(), (QStringList{"WT 0 3 77", "WT 0 3 77"}));

        r = cli({"--stations", "1,5", "watch", "--count", "4"});
        QCOMPARE(r.status, 0);
        QStringList stations;
        for (const QString& row : r.out.split('\n', Qt::SkipEmptyParts).mid(1))
            stations << row.section(',', 1, 1);
        QCOMPARE(stations, (QStringList{"1", "5", "1", "5"}));

        for (const QStringList& bad : {QStringList{"--stations", "5-1", "status"}, {"--stations", "32", "status"},
                                       {"--stations", "1,x", "status"}, {"--stations", "1", "servo", "on"},
                                       {"--stations", "1", "--station", "1", "status"}})
            QVERIFY2(cli(bad, file("no-such-port")).status == 2, qPrintable(bad.join(' ')));
    }

    void drive_command_arguments_are_checked_before_the_port_opens_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no such entry") << QStringList{"write", "P16", "1"};
        QTest::newRow("leading zero") << QStringList{"write", "P03", "1"};
        QTest::newRow("value too large") << QStringList{"write", "P3", "40000"};
        QTest::newRow("position no number") << QStringList{"move", "far"};
        QTest::newRow("position beyond 32 bits") << QStringList{"move", "3000000000"};
        QTest::newRow("servo maybe") << QStringList{"servo", "maybe"};
        QTest::newRow("negative tolerance") << QStringList{"move", "5", "--wait", "--tolerance", "-1"};
        QTest::newRow("zero timeout") << QStringList{"home", "--timeout", "0"};
        QTest::newRow("homing shorter than a reply") << QStringList{"home", "--timeout", "0.01"};
        QTest::newRow("wait for write") << QStringList{"write", "P3", "1", "--wait"};
        QTest::newRow("reply wait") << QStringList{"status", "--reply-wait", "0"};
    }
    void drive_command_arguments_are_checked_before_the_port_opens()
    {
        QFETCH(QStringList, args);
        QCOMPARE(cli(QStringList{"--station", "5"} + args, file("no-such-port")).status, 2);
    }

    void help_all_is_help()
    {
        const Run r = cli({"--help-all"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("Commands:"));
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
        // Each probe ended by its prompt: the same stations.
        sim->clear_log();
        const Run fast = cli({"scan", "--fast"});
        QCOMPARE(fast.status, 0);
        QCOMPARE(fast.out, r.out);
        QCOMPARE(received_lines(*sim).count(QString()), 2);
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

    // The line goes away for a while and comes back under the same name:
    // the watch goes on, selects again first, and never changes the drive.
    void watch_reconnect_survives_a_restart_of_the_line()
    {
        const std::string link = file(QStringLiteral("line")).toStdString();
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0,5", "--link", link});
        QProcess watch;
        start(watch, {"watch", "--station", "5", "--reconnect", "--count", "6"});
        QTRY_VERIFY_WITH_TIMEOUT(watch.canReadLine() && watch.peek(4096).count('\n') >= 3, 10000);
        sim.reset();
        QTest::qWait(1500);
        QCOMPARE(watch.state(), QProcess::Running);
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0,5", "--link", link});
        const Run r = finish(watch);
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        const QRegularExpression row("^[0-9]+,(0|),[0-9A-F]*,[0-9A-F]*$");
        for (const QString& l : lines.mid(1))
            QVERIFY2(row.match(l).hasMatch(), qPrintable(l));
        const QStringList again = received_lines(*sim);
        QVERIFY2(again.value(0) == QStringLiteral("ST 5"), qPrintable(again.join('|')));
        QVERIFY(again.filter(QRegularExpression("^(EN|MA|HM|WT|SV)")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
