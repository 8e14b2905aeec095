// What mivo-cli says when a command did not go as asked: a write the drive
// did not acknowledge, a speed it refused, a save cut short by a signal, a
// station that failed half-way, a line lost under a watch.
#include "../support/cli_run.h"
#include "../support/sim_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace mivo;

class TestCliOutcomes : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    using Run = CliRun;
    void start(QProcess& p, const QStringList& args)
    {
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", QString::fromStdString(sim->path())} + args);
    }
    static Run finish(QProcess& p) { return finish_cli(p); }
    Run cli(const QStringList& args)
    {
        QProcess p;
        start(p, args);
        return finish(p);
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }
    void simulate(const std::vector<std::string>& args) { sim = std::make_unique<sim::SimHarness>(args); }
    // What went out after the selection ("ST n" twice and "RV 4").
    QStringList after_selection() const { return received_lines(*sim).mid(3); }

private slots:
    void cleanup() { sim.reset(); }

    // A drive that answered its selection and then nothing: a write whose
    // prompt does not come was not done. Under broadcast nobody answers and
    // a write is only sent.
    void an_unacknowledged_write_gives_4()
    {
        simulate({"--stations", "5", "--mute-after", "3"});  // the selection's three lines answered
        Run r = cli({"--station", "5", "servo", "off", "--json"});
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("no answer from station 5"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        simulate({"--stations", "5", "--mute-after", "3"});
        QCOMPARE(cli({"--station", "5", "move", "100"}).status, 4);
        QCOMPARE(after_selection(), QStringList{"MA 100"});

        simulate({"--stations", "5"});
        r = cli({"--station", "32", "servo", "off", "--json"});
        QCOMPARE(r.status, 0);
        const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(doc["servo"].toBool(true), false);
        QCOMPARE(doc["acknowledged"].toBool(true), false);
        QCOMPARE(received_lines(*sim).last(), QStringLiteral("EN 0"));
    }

    void a_refused_speed_stops_the_move_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::newRow("no number") << "abc";
        QTest::newRow("negative") << "-5";
        QTest::newRow("exponent") << "1e3";
        QTest::newRow("comma") << "1,2";
    }
    // "VA" answered "ERR": no "MA" follows, the move failed.
    void a_refused_speed_stops_the_move()
    {
        QFETCH(QString, speed);
        simulate({"--stations", "5"});
        const Run r = cli({"--station", "5", "move", "100", "--speed", speed});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("the drive refused the speed " + speed), qPrintable(r.err));
        QCOMPARE(after_selection(), QStringList{"VA " + speed});
    }

    void a_signal_during_the_save_tells_what_became_of_it_data()
    {
        QTest::addColumn<QString>("save_ms");
        QTest::addColumn<int>("after_ms");  // from "SV" to the signal
        QTest::addColumn<QString>("said");
        // The answer has come and been read within the reply wait.
        QTest::newRow("answered") << "0" << 4 * 50 << "Saved.";
        QTest::newRow("not yet answered") << "1000" << 0 << "The save was sent but not acknowledged.";
    }
    // The signal comes once "SV" has reached the drive, inside the wait
    // that gives the drive time to keep the values.
    void a_signal_during_the_save_tells_what_became_of_it()
    {
        QFETCH(QString, save_ms);
        QFETCH(int, after_ms);
        QFETCH(QString, said);
        simulate({"--stations", "5", "--save-ms", save_ms.toStdString()});
        QProcess p;
        start(p, {"--station", "5", "restore", write("p3", "P3=77\n"), "--save"});
        QTRY_VERIFY(received_lines(*sim).contains("SV"));
        QTest::qWait(after_ms);
        ::kill(pid_t(p.processId()), SIGTERM);
        const Run r = finish(p);
        QCOMPARE(r.signal, int(SIGTERM));
        QVERIFY2(r.err.contains("Written: P3. " + said), qPrintable(r.err));
        QVERIFY(!r.err.contains("Nothing was saved"));
    }

    // Each station has its document, also one that failed after its
    // selection: here the line goes away once station 1 has taken P3.
    void every_station_has_its_document()
    {
        // 3 lines select, 23 read, then "WT 0 3 77", its read-back, "WT 0 4 9".
        simulate({"--stations", "1,5", "--hangup-after", "29"});
        const Run r = cli({"--stations", "1,5", "restore", write("two", "P3=77\nP4=9\n"), "--json"});
        QCOMPARE(r.status, 3);
        const QJsonArray docs = QJsonDocument::fromJson(r.out.toUtf8()).object()["stations"].toArray();
        QCOMPARE(docs.size(), 2);
        QCOMPARE(docs[0]["station"].toInt(), 1);
        QCOMPARE(docs[0]["written"].toArray(), QJsonArray{"P3"});
        QCOMPARE(docs[0]["saved"].toBool(true), false);
        QVERIFY2(docs[0]["error"].toString().contains("the link went away"), qPrintable(r.out));
        QCOMPARE(docs[1]["station"].toInt(), 5);
        QVERIFY2(!docs[1]["error"].toString().isEmpty(), qPrintable(r.out));
    }

    void a_watch_waits_for_its_line_and_ends_by_ctrl_c_data()
    {
        QTest::addColumn<QStringList>("stations");
        QTest::newRow("one station") << QStringList{"--station", "5"};
        QTest::newRow("several stations") << QStringList{"--stations", "0,5"};
    }
    // The line goes away under a watch --reconnect: the watch waits for it,
    // and Ctrl-C in the gap ends it as it does while the line is up.
    void a_watch_waits_for_its_line_and_ends_by_ctrl_c()
    {
        QFETCH(QStringList, stations);
        const std::string link = dir.filePath("line").toStdString();
        simulate({"--stations", "0,5", "--link", link});
        QProcess watch;
        start(watch, stations + QStringList{"watch", "--reconnect"});
        QTRY_VERIFY_WITH_TIMEOUT(watch.peek(4096).count('\n') >= 3, 10000);
        sim.reset();
        QTest::qWait(1000);
        QCOMPARE(watch.state(), QProcess::Running);
        ::kill(pid_t(watch.processId()), SIGINT);
        const Run r = finish(watch);
        QCOMPARE(r.signal, int(SIGINT));
        QVERIFY(r.out.endsWith('\n'));
    }
};

QTEST_GUILESS_MAIN(TestCliOutcomes)
#include "tst_cli_outcomes.moc"
