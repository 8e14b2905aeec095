// mivo-cli bridge between the simulated line and Debian's mosquitto broker,
// watched with mosquitto_sub and driven with mosquitto_pub.
#include "../support/cli_run.h"
#include "../support/sim_line.h"
#include "mqtt_fixture.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <csignal>

using namespace mivo;

namespace {

const QStringList kStateKeys{"input_bits", "inputs", "online", "position", "state",
                             "state_bits", "station", "time", "version"};

bool online(const QJsonObject& o)
{
    return o.value("online").toBool();
}

}  // namespace

class TestBridge : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    static void start_bridge(QProcess& p, const QString& line, const QStringList& args)
    {
        // A test killed halfway must not leave a bridge behind, reopening a
        // pseudo-terminal some later test's simulator is given.
        p.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", line} + args);
        QVERIFY(p.waitForStarted());
    }
    static int run(const QStringList& program)
    {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(program.first(), program.mid(1));
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    // What a dashboard sees, what a command may do, and what is never sent.
    void states_and_commands()
    {
        const QString passwords = file("passwords", "");
        QCOMPARE(run({"mosquitto_passwd", "-b", passwords, "line7", "s3cret"}), 0);
        Broker broker(dir, "allow_anonymous false\npassword_file " + passwords);
        QVERIFY(broker.start());
        const QStringList login{"-u", "line7", "-P", "s3cret"};
        sim::SimHarness sim({"--stations", "0,5,7", "--silent", "7", "--home-ms", "1000"});
        const QString line = QString::fromStdString(sim.path());
        const QString mqtt = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port());

        // A login the broker refuses at the first connection: nothing to retry.
        QProcess refused;
        start_bridge(refused, line, {"--stations", "5", "bridge", "--mqtt", mqtt, "--prefix", "t", "--username",
                                     "line7", "--password-file", file("wrong", "nope\n")});
        const CliRun r = finish_cli(refused);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("refused"), qPrintable(r.err));

        Subscriber sub(broker.port(), "t/#", login);
        QProcess bridge;
        start_bridge(bridge, line, {"--stations", "0,5,7", "bridge", "--mqtt", mqtt, "--prefix", "t/", "--username",
                                    "line7", "--password-file", file("right", "s3cret\r\nsecond line\n"),
                                    "--allow", "servo,home", "--interval-ms", "100"});
        // The silent station goes offline after its three rounds, all null.
        const auto seven = sub.wait_for("t/station/7/state", [](const QJsonObject& o) { return !online(o); });
        QVERIFY(seven);
        for (const QString& key : kStateKeys)
            if (key != "station" && key != "online" && key != "time")
                QVERIFY2(seven->value(key).isNull(), qPrintable(key));

        // Retained: a subscriber that comes later gets every topic at once.
        Subscriber later(broker.port(), "t/#", login + QStringList{"--retained-only"});
        QVERIFY(later.wait_for_text("t/status", "online"));
        const auto lineDoc = later.wait_for("t/line", [](const QJsonObject&) { return true; });
        QVERIFY(lineDoc);
        QCOMPARE(*lineDoc, (QJsonObject{{"port", line}, {"connected", true}, {"stations", QJsonArray{0, 5, 7}}}));
        for (const int s : {0, 5, 7}) {
            const auto state = later.wait_for(QStringLiteral("t/station/%1/state").arg(s), [](auto&) { return true; });
            QVERIFY(state);
            QCOMPARE(state->keys(), kStateKeys);
            QCOMPARE(state->value("online").toBool(), s != 7);
            QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
                         .match(state->value("time").toString())
                         .hasMatch(),
                     qPrintable(state->value("time").toString()));
        }
        QCOMPARE(later.on("t/station/5/state").size(), 1);
        QVERIFY(later.wait_for("t/station/0/state", [](const QJsonObject& o) {
            return o.value("version").isString() && o.value("state_bits").isArray() && o.value("position").isDouble();
        }));

        // Refused and bad commands are answered and send nothing.
        sim.clear_log();
        QVERIFY(publish(broker.port(), "t/station/5/cmd",
                        "{\"id\":\"a\",\"op\":\"save\"}\nnot json\n{\"id\":\"c\",\"op\":\"fly\"}\n"
                        "{\"id\":\"d\",\"op\":\"write\",\"entry\":\"P3\",\"value\":1}\n"
                        "{\"id\":\"e\",\"op\":\"home\",\"timeout_s\":\"soon\"}\n{\"id\":\"f\",\"op\":\"servo\"}\n",
                        login));
        QVERIFY(QTest::qWaitFor([&] { return sub.on("t/station/5/reply").size() == 6; }, 8000));
        QStringList errors;
        for (const QByteArray& reply : sub.on("t/station/5/reply")) {
            const QJsonObject o = QJsonDocument::fromJson(reply).object();
            QCOMPARE(o.value("ok"), QJsonValue(false));
            errors << o.value("id").toString() + ": " + o.value("error").toString();
        }
        QCOMPARE(errors, (QStringList{"a: not allowed: save", ": bad payload: not a JSON object", "c: unknown op: fly",
                                      "d: not allowed: write", "e: bad argument: timeout_s must be seconds, more than 0 and at most 86400",
                                      "f: missing argument: on"}));
        for (const QString& sent : received_lines(sim))
            QVERIFY2(!sent.startsWith("SV") && !sent.startsWith("WT") && !sent.startsWith("HM") && !sent.startsWith("EN"),
                     qPrintable(sent));

        // An allowed command runs, and the drive's new state reaches the broker.
        QVERIFY(publish(broker.port(), "t/station/5/cmd", "{\"id\":\"on\",\"op\":\"servo\",\"on\":true}", login));
        const auto on = sub.wait_for("t/station/5/reply", [](const QJsonObject& o) { return o.value("id") == "on"; });
        QVERIFY(on);
        QCOMPARE(*on, (QJsonObject{{"id", "on"}, {"ok", true}, {"error", QJsonValue::Null}, {"station", 5},
                                   {"servo", true}, {"acknowledged", true}}));
        QVERIFY(sub.wait_for("t/station/5/state", [](const QJsonObject& o) {
            return o.value("state_bits").toArray().contains("SVON");
        }));

        // Besides the one running, sixteen wait; the next is busy.
        QByteArray burst = "{\"id\":\"h\",\"op\":\"home\"}\n";
        for (int i = 0; i < 17; ++i)
            burst += QStringLiteral("{\"id\":\"q%1\",\"op\":\"status\"}\n").arg(i).toUtf8();
        const qsizetype before = sub.on("t/station/5/reply").size();
        QVERIFY(publish(broker.port(), "t/station/5/cmd", burst, login));
        QVERIFY(QTest::qWaitFor([&] { return sub.on("t/station/5/reply").size() == before + 18; }, 10000));
        int busy = 0, ok = 0;
        for (const QByteArray& reply : sub.on("t/station/5/reply").mid(before)) {
            const QJsonObject o = QJsonDocument::fromJson(reply).object();
            busy += o.value("error") == "busy";
            ok += o.value("ok").toBool();
        }
        QCOMPARE(busy, 1);
        QCOMPARE(ok, 17);

        // A bridge that dies: the broker's will says so.
        ::kill(pid_t(bridge.processId()), SIGKILL);
        QVERIFY(sub.wait_for_text("t/status", "offline"));
    }

    // The broker restarted and the line lost: each comes back with the
    // latest state, and each change is one line on standard error.
    void broker_and_line_come_back()
    {
        Broker broker(dir, "allow_anonymous true");
        QVERIFY(broker.start());
        const std::vector<std::string> line_args{"--stations", "5", "--link", dir.filePath("line").toStdString()};
        auto sim = std::make_unique<sim::SimHarness>(line_args);
        QProcess bridge;
        start_bridge(bridge, dir.filePath("line"), {"--stations", "5", "bridge", "--mqtt",
                                                    QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()),
                                                    "--prefix", "b", "--allow", "servo,move"});
        {
            Subscriber sub(broker.port(), "b/#");
            QVERIFY(sub.wait_for("b/station/5/state", online));
            // A drive on the move: a message a second at most (the default
            // interval), and the last position is not lost.
            const qsizetype from = sub.messages.size();
            QVERIFY(publish(broker.port(), "b/station/5/cmd",
                            "{\"op\":\"servo\",\"on\":true}\n{\"op\":\"move\",\"position\":8000,\"speed\":1}\n"));
            QVERIFY(sub.wait_for("b/station/5/state", [](const QJsonObject& o) { return o.value("position") == 8000; }));
            QList<qint64> moving;
            for (qsizetype i = from; i < sub.messages.size(); ++i)
                if (sub.messages[i].first == "b/station/5/state")
                    moving << sub.arrived[i];
            QVERIFY(moving.size() >= 2);
            for (qsizetype i = 1; i < moving.size(); ++i)
                QVERIFY2(moving[i] - moving[i - 1] >= 950, qPrintable(QString::number(moving[i] - moving[i - 1])));

        }
        broker.stop();
        QTest::qWait(1500);
        QVERIFY(broker.start());
        {
            // Nothing was kept by the broker: all of it comes from the bridge.
            Subscriber sub(broker.port(), "b/#");
            QVERIFY(sub.wait_for_text("b/status", "online", 15000));
            QVERIFY(sub.wait_for("b/station/5/state", online));
            QVERIFY(sub.wait_for("b/line", [](const QJsonObject& o) { return o.value("connected").toBool(); }));

            sim.reset();
            QVERIFY(sub.wait_for("b/line", [](const QJsonObject& o) { return !o.value("connected").toBool(); }));
            const auto away = sub.wait_for("b/station/5/state", [](const QJsonObject& o) { return !online(o); });
            QVERIFY(away);
            QVERIFY(away->value("position").isNull() && away->value("version").isNull());
            const qsizetype states = sub.on("b/station/5/state").size();
            // The drive that comes back faults a few rounds later.
            std::vector<std::string> faulting = line_args;
            faulting.insert(faulting.end(), {"--fault-after", "30"});
            sim = std::make_unique<sim::SimHarness>(faulting);
            QVERIFY(QTest::qWaitFor([&] { return sub.on("b/station/5/state").size() > states; }, 8000));
            QVERIFY(online(QJsonDocument::fromJson(sub.on("b/station/5/state").last()).object()));
            QVERIFY(sub.wait_for("b/station/5/state", [](const QJsonObject& o) {
                return online(o) && o.value("state_bits").toArray().contains("Fault") && (o.value("state").toInt() & 2);
            }));
            ::kill(pid_t(bridge.processId()), SIGTERM);
            const CliRun r = finish_cli(bridge);
            QCOMPARE(r.status, 0);
            QVERIFY(sub.wait_for_text("b/status", "offline"));
            QCOMPARE(r.err.count("lost the broker"), 1);
            QCOMPARE(r.err.count("connected to the broker"), 2);
        }
    }

    // TLS on certificates of the test's own CA: the broker's name is checked.
    void tls_checks_the_broker()
    {
        const auto path = [&](const char* n) { return dir.filePath(n); };
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QCOMPARE(run(QStringList{"openssl", "req", "-x509"} + ec +
                     QStringList{"-keyout", path("ca.key"), "-out", path("ca.pem"), "-days", "2", "-subj", "/CN=test CA"}),
                 0);
        QCOMPARE(run(QStringList{"openssl", "req"} + ec +
                     QStringList{"-keyout", path("server.key"), "-out", path("server.csr"), "-subj", "/CN=localhost"}),
                 0);
        QCOMPARE(run({"openssl", "x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey",
                      path("ca.key"), "-CAcreateserial", "-days", "2", "-out", path("server.pem"), "-extfile",
                      file("san.ext", "subjectAltName=DNS:localhost\n")}),
                 0);
        Broker broker(dir, QStringLiteral("allow_anonymous true\ncafile %1\ncertfile %2\nkeyfile %3")
                               .arg(path("ca.pem"), path("server.pem"), path("server.key")));
        QVERIFY(broker.start());
        sim::SimHarness sim({"--stations", "5"});
        const QString line = QString::fromStdString(sim.path());

        QProcess wrong_name;
        start_bridge(wrong_name, line, {"--stations", "5", "bridge", "--mqtt",
                                        QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port()), "--ca-file",
                                        path("ca.pem")});
        const CliRun r = finish_cli(wrong_name);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("refused the connection"), qPrintable(r.err));

        Subscriber sub(broker.port(), "s/#", {"--cafile", path("ca.pem"), "--insecure"});
        QProcess bridge;
        start_bridge(bridge, line, {"--stations", "5", "bridge", "--mqtt",
                                    QStringLiteral("mqtts://localhost:%1").arg(broker.port()), "--ca-file",
                                    path("ca.pem"), "--prefix", "s"});
        QVERIFY(sub.wait_for("s/station/5/state", online));
        ::kill(pid_t(bridge.processId()), SIGTERM);
        QCOMPARE(finish_cli(bridge).status, 0);
    }
};

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
