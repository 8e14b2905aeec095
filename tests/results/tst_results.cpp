// A test station's results store on SQLite: mivo-cli run --results against
// the simulator, and mivo-cli results reading the runs back as a factory's
// scripts and people read them.
#include "../support/cli_run.h"
#include "../support/sim_line.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace mivo;

namespace {

const QByteArray kPassing = R"(
test.serial_pattern = /^SN-[0-9]{4}$/;
test.step("settings", function () {
    test.check("P3", drive.read("P3"), {min: 0, max: 1000});
    drive.write("P4", 25);
    drive.save();
    test.log("written");
});
test.log("done");
)";
const QByteArray kFailing = R"(
test.step("limits", function () { test.check("P3 low", drive.read("P3"), {max: 10}); });
test.step("move", function () {
    drive.servo(true);
    drive.move(200, {wait: true, trace: true, tolerance: 1});
    drive.servo(false);
});
)";
// The motor goes on and the recipe never switches it off: the time limit
// ends it, and the console does.
const QByteArray kAborted = R"(
test.timeout_s = 0.5;
test.step("spin", function () { drive.servo(true); test.sleep(5000); });
)";

QJsonArray runs_of(const CliRun& r)
{
    return QJsonDocument::fromJson(r.out.toUtf8()).object().value("runs").toArray();
}

}  // namespace

class TestResults : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<sim::SimHarness> sim;

    QString write(const QString& name, const QByteArray& text)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return f.fileName();
    }
    static CliRun cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE), args);
        return finish_cli(p);
    }
    CliRun run_on(const sim::SimHarness& line, const QStringList& args)
    {
        return cli(QStringList{"--port", QString::fromStdString(line.path()), "--station", "5", "--fast", "run"} + args);
    }
    CliRun run(const QStringList& args) { return run_on(*sim, args); }
    CliRun results(const QString& store, const QStringList& args = {})
    {
        return cli(QStringList{"results", "--results", store} + args);
    }

private slots:
    void init() { sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0,5"}); }
    void cleanup() { sim.reset(); }

    // A passing, a failing and an aborted run with everything a unit's
    // record holds, found again by every filter and in every form.
    void runs_are_recorded_and_found()
    {
        const QString store = dir.filePath("plant/line 1/results.db");  // its folders are made
        const QString passing = write("eol.js", kPassing);
        CliRun r = run({passing, "--results", store, "--serial", "SN-0001", "--operator", "anna", "--snapshot"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = run({write("limits.js", kFailing), "--results", store, "--serial", "SN-0002"});
        QCOMPARE(r.status, 1);
        r = run({write("spin.js", kAborted), "--results", store, "--serial", "SN-0003", "--junit", dir.filePath("a.xml")});
        QCOMPARE(r.status, 1);
        QVERIFY(QFile::exists(dir.filePath("a.xml")));

        r = results(store, {"--json"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QJsonArray all = runs_of(r);
        QCOMPARE(all.size(), 3);
        // Newest first.
        QCOMPARE(all[0]["serial"].toString(), "SN-0003");
        QCOMPARE(all[2]["serial"].toString(), "SN-0001");

        const QJsonObject pass = all[2].toObject();
        QFile recipe(passing);
        QVERIFY(recipe.open(QIODevice::ReadOnly));
        QCOMPARE(pass["recipe"].toString(), "eol.js");
        QCOMPARE(pass["recipe_sha256"].toString(),
                 QString::fromLatin1(QCryptographicHash::hash(recipe.readAll(), QCryptographicHash::Sha256).toHex()));
        QCOMPARE(pass["operator"].toString(), "anna");
        QCOMPARE(pass["station"].toInt(), 5);
        QCOMPARE(pass["port"].toString(), QString::fromStdString(sim->path()));
        QVERIFY(!pass["host"].toString().isEmpty());
        QVERIFY(pass["drive"].toString().startsWith("MIVO"));
        QCOMPARE(pass["passed"].toBool(), true);
        QCOMPARE(pass["incomplete"].toBool(), false);
        QVERIFY(pass["aborted"].isNull());
        const QDateTime started = QDateTime::fromString(pass["started"].toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(pass["ended"].toString(), Qt::ISODateWithMs);
        QVERIFY(started.isValid() && ended.isValid() && started <= ended);
        const QJsonObject step = pass["steps"][0].toObject();
        QCOMPARE(step["name"].toString(), "settings");
        QCOMPARE(step["checks"][0]["name"].toString(), "P3");
        QCOMPARE(step["checks"][0]["max"].toDouble(), 1000.0);
        QCOMPARE(step["log"].toArray(), QJsonArray{"written"});
        QCOMPARE(pass["log"].toArray(), QJsonArray{"done"});
        const QJsonArray writes = pass["writes"].toArray();
        QCOMPARE(writes.size(), 2);
        QCOMPARE(writes[0].toObject(), (QJsonObject{{"entry", "P4"}, {"value", 25}, {"read_back", 25}, {"taken", true}}));
        QCOMPARE(writes[1]["entry"].toString(), "SV");
        QCOMPARE(pass["snapshot"]["P4"].toInt(), 25);
        QCOMPARE(pass["snapshot"].toObject().size(), 23);

        const QJsonObject fail = all[1].toObject();
        QCOMPARE(fail["passed"].toBool(), false);
        QVERIFY(fail["aborted"].isNull());
        QVERIFY(!fail.contains("snapshot"));
        QCOMPARE(fail["steps"][0]["checks"][0]["passed"].toBool(), false);
        const QJsonObject trace = fail["traces"][0].toObject();
        QCOMPARE(trace["step"].toString(), "move");
        QCOMPARE(trace["target"].toDouble(), 200.0);
        QVERIFY(!trace["samples"].toArray().isEmpty());
        QCOMPARE(trace["samples"].toArray().last()[1].toDouble(), 200.0);

        const QJsonObject abort = all[0].toObject();
        QVERIFY(abort["aborted"].toString().contains("time limit"));
        QCOMPARE(abort["motor_switched_off"].toBool(), true);
        QCOMPARE(abort["incomplete"].toBool(), false);

        // The filters.
        QCOMPARE(runs_of(results(store, {"--json", "--serial", "SN-0002"})).size(), 1);
        QCOMPARE(runs_of(results(store, {"--json", "--failed"})).size(), 2);
        QCOMPARE(runs_of(results(store, {"--json", "--recipe", "eol.js"}))[0].toObject()["serial"].toString(), "SN-0001");
        QCOMPARE(runs_of(results(store, {"--json", "--limit", "1"}))[0].toObject()["serial"].toString(), "SN-0003");
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(runs_of(results(store, {"--json", "--since", today, "--until", today})).size(), 3);
        QCOMPARE(runs_of(results(store, {"--json", "--since", QDate::currentDate().addDays(1).toString(Qt::ISODate)}))
                     .size(),
                 0);
        r = results(store, {"--serial", "nobody"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());
        // One line a run, and CSV with its header.
        r = results(store, {"--failed"});
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains("SN-0003") && lines[0].contains("ABORTED"));
        QVERIFY(lines[1].contains("FAILED") && lines[1].contains("P3 low"));
        r = results(store, {"--csv", "--serial", "SN-0001"});
        QCOMPARE(r.out.split('\n').first(), "id,started,ended,serial,station,operator,recipe,verdict,first_failed_check");
        QVERIFY(r.out.split('\n').at(1).contains(",SN-0001,5,anna,eol.js,PASSED,"));

        // One run's reports again; an unknown run, a missing store.
        const QString id = QString::number(all[1]["id"].toInteger());
        r = results(store, {"--id", id, "--pdf", dir.filePath("unit.pdf"), "--junit", dir.filePath("unit.xml")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QFile junit(dir.filePath("unit.xml"));
        QVERIFY(junit.open(QIODevice::ReadOnly));
        QVERIFY(junit.readAll().contains("<failure"));
        QProcess text;
        text.start("pdftotext", {dir.filePath("unit.pdf"), "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& said : {QString("SN-0002"), QString("FAILED"), QString("P3 low"), fail["recipe_sha256"].toString(),
                                    fail["drive"].toString(), QString("Move to 200 in \"move\"")})
            QVERIFY2(pdf.contains(said), qPrintable(said));
        QCOMPARE(results(store, {"--id", "999", "--junit", dir.filePath("none.xml")}).status, 1);
        QCOMPARE(results(dir.filePath("missing.db")).status, 2);
        QVERIFY(!QFile::exists(dir.filePath("missing.db")));
    }

    // A serial number the recipe refuses stops the run before anything but
    // the selection went out, and leaves no record; the command line's rules.
    void serial_numbers_are_checked()
    {
        const QString store = dir.filePath("serials.db");
        const QString recipe = write("eol.js", kPassing);
        sim->clear_log();
        CliRun r = run({recipe, "--results", store, "--serial", "XX-1"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("test.serial_pattern"));
        const QStringList lines = received_lines(*sim);
        QCOMPARE(lines.mid(lines.indexOf("RV 4") + 1), QStringList());
        QCOMPARE(runs_of(results(store, {"--json"})).size(), 0);
        // A pattern set once the recipe has talked to the drive comes too late.
        r = run({write("late.js", "drive.read('P3'); test.serial_pattern = /^SN/;"), "--results", store, "--serial", "SN-1"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("before the recipe talks to the drive"));

        QCOMPARE(run({recipe, "--results", store}).status, 2);                               // no --serial
        QCOMPARE(run({recipe, "--results", store, "--serial", QString(65, 'A')}).status, 2);  // too long
        QCOMPARE(run({recipe, "--results", store, "--serial", "SN\t1"}).status, 2);           // not printable
        // One serial number a station, in the order of the list.
        const QStringList both{"--port", QString::fromStdString(sim->path()), "--stations", "5,0", "--fast", "run",
                               recipe, "--results", store};
        QCOMPARE(cli(both + QStringList{"--serial", "SN-0005"}).status, 2);
        // Which unit is on which station cannot depend on who answers a scan.
        QCOMPARE(cli({"--port", QString::fromStdString(sim->path()), "--stations", "all", "run", recipe, "--results", store,
                      "--serial", "SN-0005", "--serial", "SN-0000"})
                     .status,
                 2);
        r = cli(both + QStringList{"--serial", "SN-0005", "--serial", "SN-0000"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        // The late pattern's run did talk to the drive: it is kept, as an error.
        const QJsonArray kept = runs_of(results(store, {"--json"}));
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept[2]["verdict"].toString(), "ABORTED");
        QCOMPARE(kept[0]["station"].toInt(), 0);
        QCOMPARE(kept[0]["serial"].toString(), "SN-0000");
        QCOMPARE(kept[1]["serial"].toString(), "SN-0005");
    }

    // A failed step that stops the run, as the recipe asked, is an abort
    // with its reason, and no later step ran.
    void a_stop_on_failure_is_an_abort()
    {
        const QString store = dir.filePath("stops.db");
        const CliRun r = run({write("stops.js", "test.stop_on_failure = true;\n"
                                                "test.step('first', function () { test.check('x', 1, {max: 0}); });\n"
                                                "test.step('second', function () {});"),
                              "--results", store, "--serial", "SN-0010"});
        QCOMPARE(r.status, 1);
        const QJsonObject run = runs_of(results(store, {"--json"}))[0].toObject();
        QCOMPARE(run["verdict"].toString(), "ABORTED");
        QVERIFY(run["aborted"].toString().contains("\"first\" failed"));
        QCOMPARE(run["steps"].toArray().size(), 1);
    }

    // A run cut short by a kill stays in the store, incomplete.
    void a_killed_run_stays_incomplete()
    {
        const QString store = dir.filePath("killed.db");
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE),
                {"--port", QString::fromStdString(sim->path()), "--station", "5", "run",
                 write("long.js", "test.step('wait', function () { test.sleep(60000); });"), "--results", store,
                 "--serial", "SN-0009"});
        QJsonArray found;
        QElapsedTimer waited;
        waited.start();
        while (found.isEmpty() && waited.elapsed() < 20000) {
            QThread::msleep(100);
            found = runs_of(results(store, {"--json"}));
        }
        QCOMPARE(found.size(), 1);
        p.kill();
        p.waitForFinished();
        const QJsonObject run = runs_of(results(store, {"--json", "--failed"}))[0].toObject();
        QCOMPARE(run["serial"].toString(), "SN-0009");
        QCOMPARE(run["incomplete"].toBool(), true);
        QCOMPARE(run["passed"].toBool(), false);
        QVERIFY(run["ended"].isNull());
        QVERIFY(results(store).out.contains("INCOMPLETE"));
    }

    // Four processes make the store together and record at once: every run
    // is there whole.
    void four_writers_at_once_lose_nothing()
    {
        const QString store = dir.filePath("shared/results.db");
        QByteArray recipe;
        for (int i = 0; i < 20; ++i)
            recipe += QStringLiteral("test.step('s%1', function () { test.check('c', %1, {min: 0}); test.log('l%1'); });\n")
                          .arg(i)
                          .toUtf8();
        const QString path = write("many.js", recipe);
        std::vector<std::unique_ptr<sim::SimHarness>> lines;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < 4; ++i) {
            lines.push_back(std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5"}));
            processes.push_back(std::make_unique<QProcess>());
            processes.back()->start(QStringLiteral(MIVO_CLI_EXE),
                                    {"--port", QString::fromStdString(lines.back()->path()), "--station", "5", "--fast",
                                     "run", path, "--results", store, "--serial", QStringLiteral("SN-%1").arg(i)});
        }
        for (auto& p : processes) {
            const CliRun r = finish_cli(*p);
            QVERIFY2(r.status == 0, qPrintable(r.err));
        }
        const QJsonArray all = runs_of(results(store, {"--json"}));
        QCOMPARE(all.size(), 4);
        QSet<QString> serials;
        for (const QJsonValue& run : all) {
            serials << run["serial"].toString();
            QCOMPARE(run["steps"].toArray().size(), 20);
            QCOMPARE(run["steps"][19]["log"][0].toString(), "l19");
        }
        QCOMPARE(serials.size(), 4);
    }

    // A store that cannot take the run refuses it before the port opens.
    void an_unusable_store_is_refused()
    {
        const QString recipe = write("eol.js", kPassing);
        const QString store = dir.filePath("newer.db");
        QCOMPARE(run({recipe, "--results", store, "--serial", "SN-0001"}).status, 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
            db.setDatabaseName(store);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("UPDATE mivo_schema SET version = 99"));
            db.close();
        }
        QSqlDatabase::removeDatabase("newer");
        sim->clear_log();
        CliRun r = run({recipe, "--results", store, "--serial", "SN-0002"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("newer"));
        QCOMPARE(received_lines(*sim), QStringList());
        QCOMPARE(results(store).status, 2);

        const QString locked = dir.filePath("locked.db");
        QCOMPARE(run({recipe, "--results", locked, "--serial", "SN-0001"}).status, 0);
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner));
        // Root writes to a read-only file; an immutable one it cannot.
        const auto immutable = [&](bool on) {
            return QProcess::execute(QStringLiteral("chattr"), {on ? "+i" : "-i", locked}) == 0;
        };
        const bool root = geteuid() == 0;
        if (root && !immutable(true))
            QSKIP("root writes to read-only files, and this file system keeps no immutable flag");
        const auto unlock = qScopeGuard([&] {
            if (root)
                immutable(false);
        });
        sim->clear_log();
        r = run({recipe, "--results", locked, "--serial", "SN-0002"});
        QCOMPARE(r.status, 2);
        QCOMPARE(received_lines(*sim), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestResults)
#include "tst_results.moc"
