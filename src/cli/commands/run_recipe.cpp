// run: a test recipe on the selected station, or on each with --stations,
// its progress on standard error and its reports once all have run.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "link/whole_file.h"
#include "recipe/recipe_run.h"

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
    return kSuccess;
}

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
    const recipe::StationRun& run =
        job.recipe->run(job.station, [](const QString& line) { print_err(line + u'\n'); });
    for (const QString& line : recipe::RecipeBatch::conclusion(run))
        print_err(line + u'\n');
    if (run.recipe_error)
        return kBadUsage;
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
