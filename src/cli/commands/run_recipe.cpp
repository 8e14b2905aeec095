// run: a test recipe on the selected station, or on each with --stations,
// its progress on standard error and its reports once all have run.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "link/whole_file.h"
#include "recipe/recipe_run.h"
#include "results/station_record.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace mivo::cli {

int prepare_recipe(Job& job)
{
    // A recipe with a syntax error sends nothing, and a report that could
    // not be written would lose the run.
    job.recipe = std::make_unique<recipe::RecipeBatch>(job.console);
    recipe::RecipeRun& recipe = job.recipe->recipe();
    recipe.set_memory_limit_mib(job.inv.memory_limit_mib);
    if (const QString error = recipe.load(job.inv.args.first()); !error.isEmpty()) {
        print_err(error + u'\n');
        return kBadUsage;
    }
    if (!job.inv.junit.isEmpty()) {
        if (const QString refused = WholeFile::refusal(job.inv.junit); !refused.isEmpty()) {
            tell(QStringLiteral("cannot write %1").arg(refused));
            return kBadUsage;
        }
    }
    // The traces' folder is made now: a run must not find out at its first
    // traced move that it has nowhere to keep it.
    if (!job.inv.artifacts.isEmpty()) {
        if (QFileInfo(job.inv.artifacts).exists() ? !QFileInfo(job.inv.artifacts).isDir()
                                                  : !QDir().mkpath(job.inv.artifacts)) {
            tell(QStringLiteral("cannot write into %1: not a folder that can be made").arg(job.inv.artifacts));
            return kBadUsage;
        }
        recipe.set_artifacts_dir(job.inv.artifacts);
    }
    // A run the store could not keep is not started: opening it makes or
    // upgrades the schema and proves that it takes writes.
    if (!job.inv.results.isEmpty()) {
        job.results = std::make_unique<results::ResultsStore>();
        if (const QString error = job.results->open(job.inv.results, results::ResultsStore::Use::Record);
            !error.isEmpty()) {
            tell(QStringLiteral("cannot use the results store %1: %2").arg(job.inv.results, error));
            return kBadUsage;
        }
    }
    return kSuccess;
}

namespace {

// The unit on the station under way: --serial in the order of --stations.
std::optional<QString> serial_of(const Job& job)
{
    if (job.inv.serials.isEmpty())
        return std::nullopt;
    const qsizetype at = job.inv.several() ? job.inv.stations.indexOf(job.station) : 0;
    return at >= 0 && at < job.inv.serials.size() ? std::optional<QString>(job.inv.serials[at]) : std::nullopt;
}

results::RunStart start_of(const Job& job, const QString& serial)
{
    const recipe::RecipeRun& recipe = job.recipe->recipe();
    return {.started = QDateTime::currentDateTime(),
            .host = results::StationRecord::host_name(),
            .port = job.inv.port,
            .station = job.station,
            .serial = serial,
            .operator_name = job.inv.operator_name,
            .recipe = QFileInfo(recipe.path()).fileName(),
            .recipe_sha256 = recipe.sha256(),
            .drive = job.drive_version};
}

}  // namespace

int run_recipe(Job& job)
{
    // Ctrl-C stops the recipe, whose run then switches the motor off on the
    // same line and reports the abort: a failed run, not a killed one.
    job.interruption.set_stop_resumable(true);
    job.signal_ends_run = true;
    Interruption& interruption = job.interruption;
    job.recipe->recipe().set_outside_stop([&interruption] {
        return interruption.signal_number() ? QStringLiteral("stopped by ") + interruption.signal_name() : QString();
    });
    const std::optional<QString> serial = serial_of(job);
    job.recipe->recipe().set_serial(serial);
    std::optional<results::StationRecord> record;
    if (job.results) {
        record.emplace(*job.results);
        if (const QString error = record->begin(start_of(job, serial.value_or(QString()))); !error.isEmpty()) {
            tell(error);
            return kBadUsage;
        }
    }
    const recipe::StationRun& run =
        job.recipe->run(job.station, [](const QString& line) { print_err(line + u'\n'); });
    for (const QString& line : recipe::RecipeBatch::conclusion(run))
        print_err(line + u'\n');
    bool kept = true;
    if (record) {
        std::optional<results::Snapshot> snapshot;
        if (job.inv.snapshot && !run.serial_refused && job.linked() && !interruption.signal_number())
            snapshot = results::StationRecord::take_snapshot(job.console);
        if (const QString error = record->end(run, job.drive_version, snapshot); !error.isEmpty()) {
            tell(error);
            kept = false;
        }
    }
    if (run.recipe_error || run.serial_refused || !kept)
        return std::max<int>(run.passed() ? kSuccess : kDifferences, kBadUsage);
    return run.passed() ? kSuccess : kDifferences;
}

int write_reports(Job& job, int status)
{
    // A run that never started still replaces an older report, with why.
    QString not_run;
    if (job.recipe->runs().isEmpty())
        not_run = job.not_run.isEmpty() ? job.failure_text(status) : job.not_run;
    if (job.inv.json)
        job.document = job.recipe->json_document(not_run);
    if (!job.inv.junit.isEmpty()) {
        const QString name = QFileInfo(job.inv.args.first()).fileName();
        if (const QString error = job.recipe->write_junit(job.inv.junit, name, not_run); !error.isEmpty()) {
            tell(QStringLiteral("cannot write %1: %2").arg(job.inv.junit, error));
            return std::max<int>(status, kBadUsage);
        }
    }
    return status;
}

}  // namespace mivo::cli
