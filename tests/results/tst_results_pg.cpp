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
        mivo::sim::SimHarness sim({"--stations", "5"});
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI_EXE), {"--port", QString::fromStdString(sim.path()), "--station", "5", "--fast",
                                               "run", recipe.fileName(), "--results", store, "--serial", "PG-1"});
        CliRun r = finish_cli(p);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        p.start(QStringLiteral(MIVO_CLI_EXE), {"results", "--results", store, "--serial", "PG-1", "--json"});
        r = finish_cli(p);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QJsonArray runs = QJsonDocument::fromJson(r.out.toUtf8()).object().value("runs").toArray();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0]["passed"].toBool(), true);
        QCOMPARE(runs[0]["steps"][0]["checks"][0]["name"].toString(), "P3");
        QCOMPARE(runs[0]["writes"][0]["read_back"].toInt(), 7);
        // A wrong password is refused before anything is sent.
        qputenv("PGPASSWORD", "wrong");
        p.start(QStringLiteral(MIVO_CLI_EXE), {"--port", QString::fromStdString(sim.path()), "--station", "5", "run",
                                               recipe.fileName(), "--results", store, "--serial", "PG-2"});
        QCOMPARE(finish_cli(p).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestResultsPg)
#include "tst_results_pg.moc"
