// Traced moves: the figures of a trace against the simulator's own motion
// model, and mivo-cli move --trace and recipes' traced moves as a script
// meets them.
#include "../support/cli_run.h"
#include "../support/sim_line.h"
#include "console/trace_metrics.h"
#include "motion_profile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>

using namespace mivo;

namespace {

// What the model itself says of a move, at a fine step: the reference the
// figures of a sampled trace are held to.
struct Known {
    std::optional<double> rise_ms, settling_ms;
    double overshoot = 0, peak_speed = 0;
};

Known known(const sim::MoveProfile& p, double start, double target, double tolerance, double until_ms)
{
    Known k;
    const double d = target - start;
    std::optional<double> t10, t90;
    double settled_from = -1;
    for (double t = 0; t <= until_ms; t += 0.01) {
        const double x = double(p.at(t));
        if (!t10 && (x - start) / d >= 0.1) t10 = t;
        if (!t90 && (x - start) / d >= 0.9) t90 = t;
        k.overshoot = std::max(k.overshoot, (x - target) * (d > 0 ? 1 : -1));
        k.peak_speed = std::max(k.peak_speed, p.speed_at(t));
        if (std::abs(x - target) > tolerance) settled_from = -1;
        else if (settled_from < 0) settled_from = t;
    }
    if (t10 && t90) k.rise_ms = *t90 - *t10;
    if (settled_from >= 0) k.settling_ms = settled_from;
    return k;
}

QList<TraceSample> sampled(const sim::MoveProfile& p, double period_ms, double until_ms)
{
    QList<TraceSample> s{{-period_ms, double(p.at(0))}};
    for (double t = 0; t <= until_ms; t += period_ms)
        s << TraceSample{t, double(p.at(t))};
    return s;
}

}  // namespace

class TestTraces : public QObject {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    CliRun cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", QString::fromStdString(sim->path())} + args);
        return finish_cli(p);
    }
    void simulate(const std::vector<std::string>& args)
    {
        sim = std::make_unique<sim::SimHarness>(args);
        QCOMPARE(cli({"--station", "5", "servo", "on"}).status, 0);
        sim->clear_log();
    }
    static QByteArray contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QList<TraceSample> rows(const QByteArray& csv)
    {
        QList<TraceSample> out;
        const QList<QByteArray> lines = csv.trimmed().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].split(',');
            out << TraceSample{f.value(0).toDouble(), f.value(1).toDouble()};
        }
        return out;
    }

private slots:
    void cleanup() { sim.reset(); }

    // Sampled every 3 ms (the simulator's reply time), a trace gives the
    // model's rise and settling within a sample period, its overshoot
    // within a count, and no figure that the move cannot have.
    void metrics_follow_the_model_data()
    {
        QTest::addColumn<double>("accel");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<qint64>("stall");  // 0: none
        QTest::addColumn<qint64>("target");
        QTest::newRow("constant speed") << 0.0 << 0.0 << qint64(0) << qint64(1000);
        QTest::newRow("trapezoid") << 200000.0 << 0.0 << qint64(0) << qint64(1000);
        QTest::newRow("trapezoid, downwards") << 200000.0 << 0.0 << qint64(0) << qint64(-1500);
        QTest::newRow("ringing") << 200000.0 << 20.0 << qint64(0) << qint64(1000);
        QTest::newRow("stall") << 200000.0 << 0.0 << qint64(600) << qint64(1000);
    }
    void metrics_follow_the_model()
    {
        QFETCH(double, accel);
        QFETCH(double, amplitude);
        QFETCH(qint64, stall);
        QFETCH(qint64, target);
        sim::MotionModel model;
        model.accel = accel;
        if (amplitude > 0)
            model.ringing = sim::Ringing{amplitude, 30, 40};
        if (stall)
            model.stall_at = stall;
        const sim::MoveProfile p(0, target, 8000, 0, model);
        const double period = 3, tolerance = 1, until = 600;
        const Known k = known(p, 0, double(target), tolerance, until);
        const TraceMetrics m = TraceMetrics::of(sampled(p, period, until), double(target), tolerance);

        QCOMPARE(m.samples, int(until / period) + 2);
        QVERIFY(std::abs(*m.rate_hz - 1000 / period) < 1);
        QCOMPARE(m.rise_ms.has_value(), k.rise_ms.has_value());
        if (k.rise_ms)
            QVERIFY2(std::abs(*m.rise_ms - *k.rise_ms) <= period, qPrintable(QString::number(*m.rise_ms)));
        QCOMPARE(m.settling_ms.has_value(), k.settling_ms.has_value());
        if (k.settling_ms)
            QVERIFY2(std::abs(*m.settling_ms - *k.settling_ms) <= period, qPrintable(QString::number(*m.settling_ms)));
        QVERIFY(m.overshoot.has_value());
        QVERIFY2(std::abs(*m.overshoot - k.overshoot) <= 1, qPrintable(QString::number(*m.overshoot)));
        if (stall || amplitude == 0)
            QCOMPARE(*m.overshoot, 0.0);
        // An average over 20 ms never beats the top speed, and a cruise
        // longer than the window reaches it to the count.
        QVERIFY(*m.peak_speed <= k.peak_speed + 1000.0 / 20);
        QVERIFY(*m.peak_speed >= k.peak_speed * 0.95);
    }

    void metrics_of_traces_too_short()
    {
        TraceMetrics m = TraceMetrics::of({}, 100, 0);
        QCOMPARE(m.samples, 0);
        QVERIFY(!m.rate_hz && !m.rise_ms && !m.overshoot && !m.settling_ms && !m.peak_speed);
        // One reading, already at the target: settled at once, nothing to
        // rise, no rate or speed to tell.
        m = TraceMetrics::of({{-1, 100}}, 100, 0);
        QVERIFY(!m.rate_hz && !m.rise_ms && !m.overshoot && !m.peak_speed);
        QCOMPARE(m.settling_ms.value_or(0), -1.0);
        // Readings 10 ms apart give no 20 ms window until the third.
        m = TraceMetrics::of({{0, 0}, {10, 50}}, 100, 0);
        QVERIFY(!m.peak_speed && !m.settling_ms);
        QCOMPARE(m.rise_ms.has_value(), false);
        m = TraceMetrics::of({{0, 0}, {10, 50}, {20, 100}, {30, 100}}, 100, 0);
        QCOMPARE(m.peak_speed.value_or(0), 5000.0);
        QCOMPARE(m.rise_ms.value_or(0), 10.0);
        QCOMPARE(m.settling_ms.value_or(0), 20.0);
    }

    // Without --fast the readings still come one a reply: a CSV row for
    // each, the one before "MA" first, nothing but "RV 0" after "MA".
    void a_traced_move_from_the_tool()
    {
        simulate({"--stations", "5", "--accel", "200000", "--ringing", "20,30,40"});
        const QString file = dir.filePath("move.csv");
        CliRun r = cli({"--station", "5", "--json", "move", "1000", "--speed", "2", "--wait", "--tolerance", "1",
                        "--trace", file});
        QCOMPARE(r.status, 0);
        const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QVERIFY(doc["reached"].toBool());
        const QJsonObject trace = doc["trace"].toObject();
        QCOMPARE(trace.keys(), (QStringList{"file", "overshoot", "peak_speed", "rate_hz", "rise_ms", "samples",
                                            "settling_ms"}));
        QCOMPARE(trace["file"].toString(), file);
        const QList<TraceSample> s = rows(contents(file));
        QVERIFY(contents(file).startsWith("time_ms,position\n"));
        QCOMPARE(s.size(), trace["samples"].toInt());
        QVERIFY(s.first().time_ms < 0 && s.first().position == 0);
        for (qsizetype i = 1; i < s.size(); ++i)
            QVERIFY(s[i].time_ms > s[i - 1].time_ms);
        QVERIFY(trace["rate_hz"].toDouble() > 100);  // a fixed 50 ms wait would give 20
        QVERIFY(trace["overshoot"].toDouble() > 5);
        QVERIFY(trace["settling_ms"].toDouble() > trace["rise_ms"].toDouble());
        // Settled: within the tolerance for more than 100 ms at the end.
        QVERIFY(s.last().time_ms - trace["settling_ms"].toDouble() > 100);
        const QStringList lines = received_lines(*sim).mid(3);
        QCOMPARE(lines.mid(0, 3), (QStringList{"VA 2", "RV 0", "MA 1000"}));
        QCOMPARE(lines.mid(3).count("RV 0"), lines.size() - 3);

        // Against a hard stop: short of the target, with what it has.
        simulate({"--stations", "5", "--stall-at", "600"});
        r = cli({"--station", "5", "--json", "move", "1000", "--wait", "--trace", file});
        QCOMPARE(r.status, 1);
        const QJsonObject stalled = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(stalled["reached"].toBool(true), false);
        QCOMPARE(stalled["position"].toDouble(), 600.0);
        QVERIFY(stalled["trace"]["settling_ms"].isNull() && stalled["trace"]["rise_ms"].isNull());
        QCOMPARE(stalled["trace"]["overshoot"].toDouble(-1), 0.0);
        QVERIFY(rows(contents(file)).last().time_ms > 1000);  // stood still a second
    }

    // A file that cannot be written stops it before the port opens; Ctrl-C
    // ends it as a move and leaves an old file as it was.
    void a_trace_is_written_whole_or_not_at_all()
    {
        simulate({"--stations", "5", "--accel", "1000"});
        CliRun r = cli({"--station", "5", "move", "100", "--wait", "--trace", dir.filePath("none/t.csv")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("cannot write the trace"), qPrintable(r.err));
        QVERIFY(received_lines(*sim).isEmpty());
        QCOMPARE(cli({"--station", "5", "move", "100", "--trace", dir.filePath("t.csv")}).status, 2);

        const QString file = dir.filePath("old.csv");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
        old.close();
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE), {"--port", QString::fromStdString(sim->path()), "--station", "5", "move",
                                               "100000", "--wait", "--trace", file});
        QTRY_VERIFY(received_lines(*sim).count("RV 0") > 20);
        ::kill(pid_t(p.processId()), SIGINT);
        const CliRun stopped = finish_cli(p);
        QCOMPARE(stopped.signal, int(SIGINT));
        QCOMPARE(contents(file), QByteArray("old\n"));
    }

    // A recipe checks a move's figures; with --artifacts its CSV is kept
    // under the station's folder and named in its step's testcase.
    void a_traced_move_in_a_recipe()
    {
        simulate({"--stations", "5", "--accel", "200000", "--ringing", "20,30,40"});
        QFile recipe(dir.filePath("traced.js"));
        QVERIFY(recipe.open(QIODevice::WriteOnly));
        recipe.write(R"(
test.step("move", function () {
    var m = drive.move(1000, {wait: true, trace: true, tolerance: 1, speed: 2});
    test.check("reached", m.reached);
    test.check("no file", m.trace.file === undefined);
    test.check("samples", m.trace.samples, {min: 20});
    test.check("overshoot", m.trace.overshoot, {min: 5, max: 30});
    test.check("settling", m.trace.settling_ms, {min: m.trace.rise_ms});
});
test.step("untraced", function () { drive.move(0, {wait: true}); });
)");
        recipe.close();
        const QString artifacts = dir.filePath("art");
        const QString junit = dir.filePath("report.xml");
        const CliRun r = cli({"--station", "5", "run", recipe.fileName(), "--artifacts", artifacts, "--junit", junit,
                              "--json"});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        const QString csv = artifacts + "/station-5/trace-1.csv";
        QVERIFY(rows(contents(csv)).size() > 20);
        QVERIFY(!QFile::exists(artifacts + "/station-5/trace-2.csv"));
        const QString report = QString::fromUtf8(contents(junit));
        const qsizetype move_case = report.indexOf("<testcase name=\"move\"");
        const qsizetype attachment = report.indexOf("[[ATTACHMENT|" + csv + "]]");
        QVERIFY2(move_case >= 0 && attachment > move_case
                     && attachment < report.indexOf("<testcase name=\"untraced\""),
                 qPrintable(report));
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8())["stations"][0]["steps"][0]["attachments"][0].toString(), csv);
    }
};

QTEST_GUILESS_MAIN(TestTraces)
#include "tst_traces.moc"
