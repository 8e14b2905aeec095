// What mivo-cli says when a command did not go as asked: a write the drive
// did not acknowledge, a speed it refused, a save cut short by a signal, a
// station that failed half-way, a line lost under a watch.
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

    struct Run {
        int status = -1;  // -1: ended by a signal
        int signal = 0;
        QString out;
        QString err;
    };
    void start(QProcess& p, const QStringList& args)
    {
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", QString::fromStdString(sim->path())} + args);
    }
    static Run finish(QProcess& p)
    {
        if (!p.waitForFinished(60000))
            p.kill();
        const bool crashed = p.exitStatus() == QProcess::CrashExit;
        return {crashed ? -1 : p.exitCode(), crashed ? p.exitCode() : 0, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
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
};

QTEST_GUILESS_MAIN(TestCliOutcomes)
#include "tst_cli_outcomes.moc"
