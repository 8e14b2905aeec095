// results: the runs a store keeps, found by unit, verdict, recipe and time,
// and one run's reports again. No port: it reads the store alone.
#include "cli/commands/results_command.h"

#include "cli/cli_view.h"
#include "cli/command_line.h"
#include "cli/job.h"
#include "link/whole_file.h"
#include "results/results_store.h"
#include "results/run_document.h"
#include "results/run_finder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace mivo::cli {

namespace {

// The PDF is drawn by a helper of its own, so that the tool stays on Qt Core
// and needs no display.
QString report_program()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(MIVO_REPORT_FROM_BIN));
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral(MIVO_REPORT_BUILT);
}

QString write_pdf(const QJsonObject& run, const QString& path)
{
    if (const QString refused = WholeFile::refusal(path); !refused.isEmpty())
        return refused;
    QProcess helper;
    helper.start(report_program(), {path});
    if (!helper.waitForStarted(10'000))
        return QStringLiteral("the report writer (%1) cannot start: %2").arg(report_program(), helper.errorString());
    helper.write(QJsonDocument(run).toJson(QJsonDocument::Compact));
    helper.closeWriteChannel();
    if (!helper.waitForFinished(60'000)) {
        helper.kill();
        helper.waitForFinished();
        return QStringLiteral("the report writer did not finish");
    }
    // Its words matter only when it failed; Qt's notes about the display
    // it does without would be noise.
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(helper.readAllStandardError()).trimmed();
        return said.isEmpty() ? QStringLiteral("the report writer failed") : said;
    }
    return {};
}

int one_run(results::ResultsStore& store, const Invocation& inv)
{
    results::RunFinder finder(store);
    const std::optional<results::StoredRun> run = finder.load(*inv.id);
    if (!run) {
        if (!store.error().isEmpty()) {
            tell(QStringLiteral("%1: %2").arg(inv.results, store.error()));
            return kBadUsage;
        }
        tell(QStringLiteral("%1 holds no run %2").arg(inv.results).arg(*inv.id));
        return kDifferences;
    }
    if (!inv.pdf.isEmpty()) {
        if (const QString error = write_pdf(results::run_json(*run), inv.pdf); !error.isEmpty()) {
            tell(QStringLiteral("cannot write %1: %2").arg(inv.pdf, error));
            return kBadUsage;
        }
    }
    if (!inv.junit.isEmpty()) {
        WholeFile report(inv.junit);
        if (!report.open() || !report.write(results::run_junit(*run)) || !report.commit()) {
            tell(QStringLiteral("cannot write %1: %2").arg(inv.junit, report.error()));
            return kBadUsage;
        }
    }
    if (inv.pdf.isEmpty() && inv.junit.isEmpty()) {
        if (inv.json)
            print_out(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("runs"), QJsonArray{results::run_json(*run)}}})
                                            .toJson(QJsonDocument::Indented)));
        else if (inv.csv)
            print_out(results::csv_header() + u'\n' + results::csv_row(*run) + u'\n');
        else
            print_out(results::run_line(*run) + u'\n');
    }
    return kSuccess;
}

}  // namespace

int results_command(const Invocation& inv)
{
    results::ResultsStore store;
    if (const QString error = store.open(inv.results, results::ResultsStore::Use::Read); !error.isEmpty()) {
        tell(QStringLiteral("cannot read the results store %1: %2").arg(inv.results, error));
        return kBadUsage;
    }
    int status = kSuccess;
    if (inv.id) {
        status = one_run(store, inv);
    } else {
        results::Filter filter{.serial = inv.serials.value(0),
                               .recipe = inv.recipe,
                               .failed = inv.failed,
                               .since = inv.since,
                               .until = inv.until,
                               .limit = inv.limit};
        results::RunFinder finder(store);
        std::optional<QList<results::StoredRun>> runs = finder.find(filter);
        if (!runs) {
            tell(QStringLiteral("%1: %2").arg(inv.results, store.error()));
            return kBadUsage;
        }
        if (inv.json) {
            QJsonArray list;
            for (results::StoredRun& run : *runs) {
                if (!finder.load_details(run)) {
                    tell(QStringLiteral("%1: %2").arg(inv.results, store.error()));
                    return kBadUsage;
                }
                list.append(results::run_json(run));
            }
            print_out(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("runs"), list}}).toJson(QJsonDocument::Indented)));
        } else {
            QString text = inv.csv ? results::csv_header() + u'\n' : QString();
            for (const results::StoredRun& run : *runs)
                text += (inv.csv ? results::csv_row(run) : results::run_line(run)) + u'\n';
            print_out(text);
        }
    }
    if (const QString failure = standard_output_failure(); !failure.isEmpty()) {
        tell(QStringLiteral("cannot write standard output: %1").arg(failure));
        return kBadUsage;
    }
    return status;
}

}  // namespace mivo::cli
