// The results store on PostgreSQL: a run recorded and found again by its
// serial number, the password coming from PGPASSWORD as libpq takes it.
// Run inside pg_virtualenv, which makes the cluster and exports PGHOST,
// PGPORT, PGUSER, PGPASSWORD and PGDATABASE.
#include "../support/cli_run.h"
#include "../support/sim_line.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class TestResultsPg : public QObject {
    Q_OBJECT

private slots:
    void a_run_is_recorded_and_found()
    {
        if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGDATABASE"))
            QSKIP("no PostgreSQL cluster: run inside pg_virtualenv");
        const QString store = QStringLiteral("postgresql://%1@%2:%3/%4")
                                  .arg(qEnvironmentVariable("PGUSER"), qEnvironmentVariable("PGHOST"),
                                       qEnvironmentVariable("PGPORT", "5432"), qEnvironmentVariable("PGDATABASE"));
        QTemporaryDir dir;
        QFile recipe(dir.filePath("eol.js"));
        QVERIFY(recipe.open(QIODevice::WriteOnly));
        recipe.write("test.step('p3', function () { test.check('P3', drive.read('P3'), {min: 0}); drive.write('P4', 7); });");
        recipe.close();
        // Four stations find no store and make it at once.
        std::vector<std::unique_ptr<mivo::sim::SimHarness>> lines;
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 1; i <= 4; ++i) {
            lines.push_back(std::make_unique<mivo::sim::SimHarness>(std::vector<std::string>{"--stations", "5"}));
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(QStringLiteral(MIVO_CLI_EXE),
                               {"--port", QString::fromStdString(lines.back()->path()), "--station", "5", "--fast", "run",
                                recipe.fileName(), "--results", store, "--serial", QStringLiteral("PG-%1").arg(i)});
        }
        for (auto& run : runs) {
            const CliRun r = finish_cli(*run);
            QVERIFY2(r.status == 0, qPrintable(r.err));
        }
        mivo::sim::SimHarness& sim = *lines.front();
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE), {"results", "--results", store, "--serial", "PG-1", "--json"});
        CliRun r = finish_cli(p);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QJsonArray found = QJsonDocument::fromJson(r.out.toUtf8()).object().value("runs").toArray();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0]["passed"].toBool(), true);
        QCOMPARE(found[0]["steps"][0]["checks"][0]["name"].toString(), "P3");
        QCOMPARE(found[0]["writes"][0]["read_back"].toInt(), 7);
        p.start(QStringLiteral(MIVO_CLI_EXE), {"results", "--results", store, "--csv"});
        QCOMPARE(finish_cli(p).out.count("PASSED"), 4);
        // A wrong password is refused before anything is sent.
        qputenv("PGPASSWORD", "wrong");
        p.start(QStringLiteral(MIVO_CLI_EXE), {"--port", QString::fromStdString(sim.path()), "--station", "5", "run",
                                               recipe.fileName(), "--results", store, "--serial", "PG-2"});
        QCOMPARE(finish_cli(p).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestResultsPg)
#include "tst_results_pg.moc"
