// The results store of a test station:
// - what recording adds to a run: the run's row at its start and its end
//   (10 steps of 3 checks, 5 writes, 20 log lines and the settings
//   snapshot) in one transaction, on a SQLite file; and a recipe's whole
//   run through mivo-cli with --results and without; goal at most 20 ms;
// - `results --serial` on a store of 100,000 runs, the tool's process
//   included; goal under 100 ms (the serial number is indexed).
#include "median.h"
#include "results/results_store.h"
#include "results/station_record.h"
#include "sim_harness.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace mivo;

namespace {

recipe::StationRun typical_run()
{
    recipe::StationRun run;
    run.station = 5;
    for (int s = 0; s < 10; ++s) {
        recipe::Step step;
        step.name = QStringLiteral("step %1").arg(s);
        step.time_ms = 40;
        for (int c = 0; c < 3; ++c)
            step.checks.append({QStringLiteral("check %1").arg(c), QJsonValue(100 + c), 0.0, 1000.0,
                                QJsonValue::Undefined, true});
        step.log << QStringLiteral("measured in step %1").arg(s) << QStringLiteral("again");
        run.steps.append(step);
    }
    for (int w = 0; w < 5; ++w)
        run.writes.append({QStringLiteral("P%1").arg(w), qint16(w), qint16(w), true});
    return run;
}

results::Snapshot typical_snapshot()
{
    results::Snapshot s;
    for (int e = 0; e < 23; ++e)
        s.append({e < 16 ? QStringLiteral("P%1").arg(e) : QStringLiteral("V%1").arg(e - 16), qint16(e)});
    return s;
}

double cli_ms(const QStringList& args, int runs)
{
    return median_ms(runs, [&] {
        QProcess p;
        p.start(QStringLiteral(MIVO_CLI), args);
        p.waitForFinished(120000);
    });
}

void fill(results::ResultsStore& store, int runs)
{
    store.begin();
    QSqlQuery q(store.db());
    q.prepare(QStringLiteral("INSERT INTO runs (started_ms, utc_offset_s, ended_ms, host, port, station, serial, "
                             "operator, recipe, recipe_sha256, drive, verdict) "
                             "VALUES (?, 0, ?, 'bench', '/dev/ttyUSB0', 5, ?, 'op', 'eol.js', 'x', 'MIVO', ?)"));
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - qint64(runs) * 60'000;
    for (int i = 0; i < runs; ++i) {
        q.bindValue(0, start + qint64(i) * 60'000);
        q.bindValue(1, start + qint64(i) * 60'000 + 30'000);
        q.bindValue(2, QStringLiteral("SN-%1").arg(i, 6, 10, QLatin1Char('0')));
        q.bindValue(3, i % 10 ? QStringLiteral("PASSED") : QStringLiteral("FAILED"));
        q.exec();
    }
    q.finish();
    store.commit();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;

    {
        results::ResultsStore store;
        if (const QString error = store.open(dir.filePath("record.db"), results::ResultsStore::Use::Record);
            !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const recipe::StationRun run = typical_run();
        const results::Snapshot snapshot = typical_snapshot();
        const results::RunStart start{.started = QDateTime::currentDateTime(), .host = "bench", .port = "/dev/ttyUSB0",
                                      .station = 5, .serial = "SN-1", .operator_name = "op", .recipe = "eol.js",
                                      .recipe_sha256 = "x", .drive = "MIVO"};
        const double ms = median_ms(50, [&] {
            results::StationRecord record(store);
            record.begin(start);
            record.end(run, start.drive, snapshot);
        });
        std::printf("recording a run (row at the start, 10 steps, 30 checks, 5 writes, 20 log lines and the snapshot "
                    "at the end), SQLite: median %.2f ms (goal at most 20 ms: %.2f of it)\n",
                    ms, ms / 20.0);
    }

    {
        sim::SimHarness sim({"--stations", "5"});
        QFile recipe(dir.filePath("eol.js"));
        recipe.open(QIODevice::WriteOnly);
        for (int s = 0; s < 10; ++s)
            recipe.write(QStringLiteral("test.step('s%1', function () { test.check('P3', drive.read('P3'), {min: 0}); "
                                        "test.log('x'); });\n")
                             .arg(s)
                             .toUtf8());
        recipe.close();
        const QStringList run{"--port", QString::fromStdString(sim.path()), "--station", "5", "--fast", "run",
                              recipe.fileName()};
        const double without = cli_ms(run, 9);
        const double with = cli_ms(run + QStringList{"--results", dir.filePath("cli.db"), "--serial", "SN-1"}, 9);
        std::printf("mivo-cli run of 10 steps: median %.1f ms without --results, %.1f ms with: %+.1f ms (goal at most "
                    "20 ms)\n",
                    without, with, with - without);
    }

    {
        const QString path = dir.filePath("big.db");
        {
            results::ResultsStore store;
            store.open(path, results::ResultsStore::Use::Record);
            fill(store, 100'000);
        }
        const double ms = cli_ms({"results", "--results", path, "--serial", "SN-050000"}, 11);
        const double json_ms = cli_ms({"results", "--results", path, "--serial", "SN-050000", "--json"}, 11);
        std::printf("results --serial on 100,000 runs: median %.1f ms, --json %.1f ms, the process included (goal under "
                    "100 ms: %.2f of it)\n",
                    ms, json_ms, ms / 100.0);
    }
    return 0;
}
