// Test recipes as a production line runs them: mivo-cli run on the
// simulator's line, judged by the exit status, the reports read back as a
// CI server reads them, and what reached the drives.
#include "../support/sim_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace mivo;

namespace {

struct Run {
    int status = -1;  // -1: ended by a signal
    QJsonObject json;
    QString err;
    int signal = 0;
};

// A JUnit report as a reader sees it: per suite its counts and its cases.
struct Suite {
    QString name;
    int tests = -1, failures = -1, errors = -1;
    QStringList cases;
    QStringList failures_said;  // the message of each failure or error
};

QList<Suite> read_junit(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<Suite> suites;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == u"testsuite") {
            suites.append({a.value("name").toString(), a.value("tests").toInt(), a.value("failures").toInt(),
                           a.value("errors").toInt(), {}, {}});
        } else if (xml.name() == u"testcase" && !suites.isEmpty()) {
            suites.last().cases << a.value("name").toString();
        } else if ((xml.name() == u"failure" || xml.name() == u"error") && !suites.isEmpty()) {
            suites.last().failures_said << a.value("message").toString();
        }
    }
    if (xml.hasError())
        return {};
    return suites;
}

}  // namespace

class TestRecipes : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& text)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return f.fileName();
    }
    void start(QProcess& p, const QStringList& args)
    {
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", QString::fromStdString(sim->path())} + args);
    }
    static Run finish(QProcess& p)
    {
        if (!p.waitForFinished(120000))
            p.kill();
        const bool crashed = p.exitStatus() == QProcess::CrashExit;
        return {crashed ? -1 : p.exitCode(), QJsonDocument::fromJson(p.readAllStandardOutput()).object(),
                QString::fromUtf8(p.readAllStandardError()), crashed ? p.exitCode() : 0};
    }
    Run run(const QStringList& args)
    {
        QProcess p;
        start(p, args);
        return finish(p);
    }
    QStringList received() { return received_lines(*sim); }
    // The lines after the station's selection and version.
    QStringList after_selection()
    {
        QStringList lines = received();
        const qsizetype version = lines.indexOf("RV 4");
        return version < 0 ? lines : lines.mid(version + 1);
    }
    static QJsonObject first_station(const Run& r) { return r.json["stations"].toArray().first().toObject(); }

private slots:
    void init() { sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0,5", "--home-ms", "200"}); }
    void cleanup() { sim.reset(); }

    // Both examples pass as shipped; their reports are what a reader expects
    // and the wire holds the operations and nothing more.
    void the_examples_pass_with_readable_reports()
    {
        const QString examples = QStringLiteral(MIVO_EXAMPLES_DIR);
        const QString junit = dir.filePath("eol.xml");
        const Run eol = run({"--station", "5", "run", examples + "/end-of-line-motion.js", "--junit", junit, "--json"});
        QVERIFY2(eol.status == 0, qPrintable(eol.err));
        QCOMPARE(eol.json["passed"].toBool(), true);
        const QJsonObject station = first_station(eol);
        QCOMPARE(station["station"].toInt(), 5);
        QVERIFY(station["aborted"].isNull());
        QStringList names;
        for (const QJsonValue& step : station["steps"].toArray()) {
            names << step["name"].toString();
            QVERIFY(step["passed"].toBool() && step["time_ms"].isDouble());
            for (const QJsonValue& check : step["checks"].toArray())
                for (const char* key : {"name", "value", "min", "max", "passed"})
                    QVERIFY2(check.toObject().contains(key), key);
        }
        QCOMPARE(names, (QStringList{"Golden settings", "Servo on", "Home", "Move to 1000", "Move to -1000", "Move to 0",
                                     "Servo off"}));
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 1);
        QCOMPARE(suites[0].name, QStringLiteral("station 5"));
        QCOMPARE(suites[0].cases, names);
        QCOMPARE(suites[0].tests, 7);
        QCOMPARE(suites[0].failures + suites[0].errors, 0);
        // One step a line on standard error, each with its verdict.
        QCOMPARE(eol.err.count(QRegularExpression("^station 5: .*: passed \\(\\d+ ms\\)$",
                                                  QRegularExpression::MultilineOption)),
                 7);
        // The recipe switched the motor off itself: no second "EN 0".
        const QStringList wire = after_selection();
        QCOMPARE(wire.count("EN 1"), 1);
        QCOMPARE(wire.count("EN 0"), 1);
        QVERIFY(wire.indexOf("EN 0") > wire.lastIndexOf("MA 0"));

        sim->clear_log();
        const Run inspection = run({"--station", "5", "run", examples + "/incoming-inspection.js"});
        QVERIFY2(inspection.status == 0, qPrintable(inspection.err));
        // status() is one "RV 0", "RV 2" and "RV 5"; nothing is written.
        const QStringList lines = after_selection();
        QCOMPARE(lines.mid(0, 3), (QStringList{"RV 0", "RV 2", "RV 5"}));
        QVERIFY(lines.filter(QRegularExpression("^(WT|SV|EN|MA|HM)")).isEmpty());
    }

    // A wrong limit fails its step with the check named; later steps still
    // run unless the recipe stops at the first failure.
    void a_failed_check_is_named_and_later_steps_run()
    {
        const QByteArray body = R"(
test.step("limits", function () {
    test.check("P3", drive.read("P3"), {min: 200, max: 300});
    test.check("P6", drive.read("P6"), {min: 0});
});
test.step("after", function () { test.check("equal", "a", {equals: "a"}); });
)";
        const QString junit = dir.filePath("limits.xml");
        const Run r = run({"--station", "5", "run", write("limits.js", body), "--junit", junit});
        QCOMPARE(r.status, 1);
        const QString named = QStringLiteral("check \"P3\" = 120, limits 200 to 300");
        QVERIFY2(r.err.contains("station 5: limits: FAILED") && r.err.contains(named), qPrintable(r.err));
        QVERIFY(r.err.contains("station 5: after: passed"));
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 1);
        QCOMPARE(suites[0].cases, (QStringList{"limits", "after"}));
        QCOMPARE(suites[0].failures, 1);
        QCOMPARE(suites[0].failures_said, QStringList{named});

        const Run stopped = run({"--station", "5", "run", write("stop.js", "test.stop_on_failure = true;" + body), "--json"});
        QCOMPARE(stopped.status, 1);
        QCOMPARE(first_station(stopped)["steps"].toArray().size(), 1);
        QVERIFY(first_station(stopped)["aborted"].isNull());
    }

    void recipe_errors_give_2_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("sends");
        QTest::newRow("syntax") << QByteArray("test.step(\"a\", function () {\n  var x = ;\n});\n")
                                << "bad.js:2: SyntaxError" << false;
        QTest::newRow("unknown name") << QByteArray("drive.status();\n\nno_such_function();\n")
                                      << "bad.js:3: ReferenceError: no_such_function is not defined" << true;
        QTest::newRow("bad entry") << QByteArray("test.timeout_s = 10;\ndrive.read(\"P99\");\n")
                                   << "bad.js:2: RangeError: drive.read takes an entry P0 to P15 or V0 to V6, not P99"
                                   << false;
    }
    // A recipe's own error is reported as FILE:LINE: message; a syntax error
    // is found before the port opens.
    void recipe_errors_give_2()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, said);
        QFETCH(bool, sends);
        const Run r = run({"--station", "5", "run", write("bad.js", body)});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QRegularExpression("(^|\n|/)" + QRegularExpression::escape(said))), qPrintable(r.err));
        if (QTest::currentDataTag() == QByteArray("syntax"))
            QVERIFY(received().isEmpty());
        QCOMPARE(after_selection().filter(QRegularExpression("^(WT|EN|MA)")).isEmpty(), true);
        QCOMPARE(after_selection().isEmpty(), !sends);
    }

    void aborts_switch_the_motor_off_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("signal");  // sent once the motor is on
        QTest::addColumn<QString>("reason");
        const QByteArray on = "drive.servo(true);\n";
        QTest::newRow("endless loop") << "test.timeout_s = 1;\n" + on + "test.step(\"spin\", function () { for (;;) {} });\n"
                                      << 0 << "time limit of 1 s reached";
        QTest::newRow("long sleep") << "test.timeout_s = 1;\n" + on + "test.sleep(100000);\n" << 0
                                    << "time limit of 1 s reached";
        QTest::newRow("long homing") << "test.timeout_s = 1;\n" + on + "drive.home({timeout_s: 600});\n" << 0
                                     << "time limit of 1 s reached";
        QTest::newRow("exception") << on + "throw new Error(\"fixture missing\");\n" << 0 << "Error: fixture missing";
        QTest::newRow("SIGINT") << on + "test.step(\"wait\", function () { test.sleep(100000); });\n" << int(SIGINT)
                                << "stopped by SIGINT";
        QTest::newRow("SIGTERM") << on + "for (;;) {}\n" << int(SIGTERM) << "stopped by SIGTERM";
        // What a recipe does to its own engine ends only the engine.
        const QByteArray deep = "var a = []; for (var i = 0; i < 1000000; ++i) a = [a];\n";
        QTest::newRow("deep text") << on + deep + "String(a);\n" << 0 << "the recipe's engine";
        QTest::newRow("deep log") << on + deep + "test.step(\"log\", function () { test.log(a); });\n" << 0
                                  << "the recipe's engine";
        QTest::newRow("memory") << on + "var a = []; for (;;) a.push(new Array(100000).fill(1.5));\n" << 0
                                << "the recipe used more than 200 MiB of memory";
        // The drive reads "EN  01" as "EN 1": so does the run.
        QTest::newRow("raw EN") << QByteArray("drive.send(\"en  01\");\nthrow 42;\n") << 0 << "42";
    }
    // Whatever ends a recipe that left the motor on, "EN 0" follows, the
    // report says why, and the later steps do not run; a signal then ends
    // the process.
    void aborts_switch_the_motor_off()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, signal);
        QFETCH(QString, reason);
        // A homing that outlasts the recipe's limit.
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--home-ms", "5000"});
        const QString junit = dir.filePath("abort.xml");
        QProcess p;
        start(p, {"--station", "5", "run", write("abort.js", body + "test.step(\"later\", function () {});\n"), "--json",
                  "--junit", junit, "--memory-limit", "200"});
        const QString motor_on = QTest::currentDataTag() == QByteArray("raw EN") ? "en  01" : "EN 1";
        if (signal) {
            QTRY_VERIFY_WITH_TIMEOUT(received().contains(motor_on), 20000);
            QTest::qWait(100);
            ::kill(pid_t(p.processId()), signal);
        }
        const Run r = finish(p);
        QCOMPARE(r.status, signal ? -1 : 1);
        QCOMPARE(r.signal, signal);
        const QJsonObject station = first_station(r);
        QVERIFY2(station["aborted"].toString().contains(reason), qPrintable(r.err));
        QCOMPARE(r.json["passed"].toBool(true), false);
        for (const QJsonValue& step : station["steps"].toArray())
            QVERIFY(step["name"].toString() != u"later");
        const QStringList wire = after_selection();
        QVERIFY2(wire.count("EN 0") == 1 && wire.indexOf("EN 0") > wire.indexOf(motor_on), qPrintable(wire.join('|')));
        QVERIFY(wire.last() == u"EN 0" || wire.last().isEmpty());
        // The report's counts agree with its cases, an abort between steps
        // included.
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 1);
        QCOMPARE(suites[0].tests, int(suites[0].cases.size()));
        QVERIFY(suites[0].failures + suites[0].errors >= 1);
        QVERIFY(suites[0].failures_said.join('\n').contains(reason));
    }

    void any_thrown_value_fails_data()
    {
        QTest::addColumn<QByteArray>("thrown");
        QTest::addColumn<QString>("said");
        QTest::newRow("text") << QByteArray("\"out of range\"") << "out of range";
        QTest::newRow("number") << QByteArray("42") << "42";
        QTest::newRow("object") << QByteArray("{message: \"no fixture\"}") << "no fixture";
        QTest::newRow("undefined") << QByteArray("undefined") << "undefined";
    }
    // Whatever a step throws fails it; thrown between steps it aborts the
    // run, and no later step runs.
    void any_thrown_value_fails()
    {
        QFETCH(QByteArray, thrown);
        QFETCH(QString, said);
        const Run in_step = run({"--station", "5", "run",
                                 write("step.js", "test.step(\"a\", function () { throw " + thrown + "; });\n"),
                                 "--json"});
        QCOMPARE(in_step.status, 1);
        const QJsonObject step = first_station(in_step)["steps"].toArray().first().toObject();
        QCOMPARE(step["passed"].toBool(true), false);
        QVERIFY2(step["error"].toString().endsWith(said), qPrintable(step["error"].toString()));

        const Run outside = run({"--station", "5", "run",
                                 write("top.js", "throw " + thrown + ";\ntest.step(\"later\", function () {});\n"),
                                 "--json"});
        QCOMPARE(outside.status, 1);
        QVERIFY(first_station(outside)["aborted"].toString().endsWith(said));
        QVERIFY(first_station(outside)["steps"].toArray().isEmpty());
        QVERIFY(!outside.err.contains("PASSED"));
    }

    // A long log line is cut once, with the length of what was left out.
    void a_long_log_line_is_cut_with_its_length()
    {
        const Run r = run({"--station", "5", "run", write("log.js", "test.log(\"x\".repeat(25000));\n")});
        QCOMPARE(r.status, 0);
        const QString cut = "station 5: " + QString(10000, u'x') + " [cut: 15000 more characters]\n";
        QVERIFY2(r.err.contains(cut), qPrintable(r.err.right(80)));
    }

    // A recipe runs on its station: a raw line that selects another is
    // refused before it goes out.
    void a_raw_station_selection_is_refused()
    {
        const Run r = run({"--station", "5", "run",
                           write("st.js", "drive.servo(true);\ndrive.send(\" st 0\");\n"), "--json"});
        QCOMPARE(r.status, 2);
        QVERIFY2(first_station(r)["aborted"].toString().contains("TypeError"), qPrintable(r.err));
        const QStringList wire = after_selection();
        QVERIFY2(wire.filter(QRegularExpression("^\\s*[sS][tT]")).isEmpty(), qPrintable(wire.join('|')));
        QCOMPARE(wire.last(), QStringLiteral("EN 0"));
    }

    // A recipe's writes count when the drive answered them: "EN 0" without
    // its prompt is reported as sent, never as done; a refused speed moves
    // nothing; a homing limit shorter than a reply is refused unsent.
    void writes_count_only_when_answered()
    {
        // Mute after the fourth line: the selection (3 lines) and "EN 1"
        // are answered, "EN 0" is not.
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--mute-after", "4"});
        const Run silent = run({"--station", "5", "run",
                                write("off.js", "drive.servo(true);\ndrive.servo(false);\n"), "--json"});
        QCOMPARE(silent.status, 1);
        const QJsonObject station = first_station(silent);
        QVERIFY2(station["aborted"].toString().contains("no answer"), qPrintable(silent.err));
        QCOMPARE(station["motor_switched_off"].toBool(true), false);
        QCOMPARE(station["motor_off_sent"].toBool(), true);
        QCOMPARE(after_selection(), (QStringList{"EN 1", "EN 0", "EN 0"}));

        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5"});
        const Run speed = run({"--station", "5", "run",
                               write("speed.js", "drive.move(100, {speed: \"abc\"});\n"), "--json"});
        QCOMPARE(speed.status, 1);
        QVERIFY2(first_station(speed)["aborted"].toString().contains("the drive refused the speed abc"),
                 qPrintable(speed.err));
        QCOMPARE(after_selection(), QStringList{"VA abc"});

        sim->clear_log();
        const Run home = run({"--station", "5", "run",
                              write("home.js", "drive.home({timeout_s: 0.01});\n"), "--json"});
        QCOMPARE(home.status, 2);
        QVERIFY(first_station(home)["aborted"].toString().contains("shorter than the reply wait"));
        QVERIFY(!received().contains("HM"));
    }

    // A line that goes away ends the recipe with the port's status; the
    // report still says what happened.
    void a_lost_line_aborts_with_3()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--hangup-after", "8"});
        const Run r = run({"--station", "5", "run",
                           write("lost.js", "drive.servo(true);\nfor (var i = 0; i < 20; ++i) drive.status();\n"),
                           "--json"});
        QCOMPARE(r.status, 3);
        QCOMPARE(first_station(r)["aborted"].toString(), QStringLiteral("the line was lost"));
    }

    // A run that never starts still replaces an older report with one that
    // says why; the JSON document says it did not pass.
    void a_run_that_never_starts_reports_why_data()
    {
        QTest::addColumn<QStringList>("where");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no port") << QStringList{"--port", dir.filePath("no-such-port"), "--station", "5"} << 3
                                 << "cannot open";
        QTest::newRow("nobody answers the scan") << QStringList{"--stations", "all"} << 4 << "no station answered";
    }
    void a_run_that_never_starts_reports_why()
    {
        QFETCH(QStringList, where);
        QFETCH(int, status);
        QFETCH(QString, reason);
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--silent", "5"});
        const QString junit = write("old.xml", "<testsuites name=\"an old pass\"/>");
        QProcess p;
        // The later --port is the one taken.
        start(p, where + QStringList{"run", write("never.js", "test.step(\"a\", function () {});\n"), "--json",
                                     "--junit", junit});
        const Run r = finish(p);
        QCOMPARE(r.status, status);
        QCOMPARE(r.json["passed"].toBool(true), false);
        QVERIFY2(r.json["error"].toString().contains(reason), qPrintable(r.err));
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 1);
        QCOMPARE(suites[0].errors, 1);
        QVERIFY2(suites[0].failures_said.join('\n').contains(reason), qPrintable(suites[0].failures_said.join('\n')));
    }

    // Names XML 1.0 cannot carry do not break the report: a parser reads it
    // to its end, every case in it.
    void any_name_gives_a_well_formed_report()
    {
        const QString recipe = write("names.js", "test.step(\"\\uD800 lone\", function () { test.check(\"nul\\u0000 "
                                                 "bell\\u0007 \\uFFFE\", 1, {max: 0}); });\n"
                                                 "test.step(\"after\", function () {});\n");
        const QString junit = dir.filePath("names.xml");
        const Run r = run({"--station", "5", "run", recipe, "--junit", junit});
        QCOMPARE(r.status, 1);
        QFile f(junit);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 1);
        QCOMPARE(suites[0].cases, (QStringList{QStringLiteral("\uFFFD lone"), "after"}));
        QVERIFY(suites[0].failures_said.first().contains(QStringLiteral("nul\uFFFD bell\uFFFD \uFFFD")));
    }

    // With several stations the whole recipe runs on each in turn; one that
    // does not answer is reported and gives 4.
    void several_stations_in_turn()
    {
        const QString recipe = write("each.js", "test.step(\"P3\", function () { test.check(\"P3\", drive.read(\"P3\"), "
                                                "{equals: 120}); test.log(\"on \" + drive.station); });\n");
        const QString junit = dir.filePath("each.xml");
        const Run r = run({"--stations", "5,0,7", "run", recipe, "--json", "--junit", junit});
        QCOMPARE(r.status, 4);
        const QJsonArray stations = r.json["stations"].toArray();
        QCOMPARE(stations.size(), 3);
        QCOMPARE(stations[0]["station"].toInt(), 5);
        QCOMPARE(stations[0]["passed"].toBool(), true);
        QCOMPARE(stations[1]["station"].toInt(), 0);
        QCOMPARE(stations[2]["aborted"].toString(), QStringLiteral("station 7 did not answer"));
        QVERIFY(r.err.indexOf("station 5: on 5") < r.err.indexOf("station 0: on 0"));
        // Each station's reads come after its own selection.
        const QStringList wire = received();
        QVERIFY(wire.indexOf("ST 5") < wire.indexOf("RD 0 3") && wire.indexOf("RD 0 3") < wire.indexOf("ST 0"));
        const QList<Suite> suites = read_junit(junit);
        QCOMPARE(suites.size(), 3);
        QCOMPARE(suites[2].name, QStringLiteral("station 7"));
        QCOMPARE(suites[2].errors, 1);
        QCOMPARE(suites[2].tests, 1);
    }
};

QTEST_GUILESS_MAIN(TestRecipes)
#include "tst_recipes.moc"
