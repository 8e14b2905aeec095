#include "recipe/recipe_batch.h"

#include "link/whole_file.h"
#include "recipe/recipe_run.h"

namespace mivo::recipe {

RecipeBatch::RecipeBatch(Console& console) : recipe_(std::make_unique<RecipeRun>(console)) {}

RecipeBatch::~RecipeBatch() = default;

const StationRun& RecipeBatch::run(int station, const std::function<void(const QString&)>& progress)
{
    QObject context;
    QObject::connect(recipe_.get(), &RecipeRun::step_ended, &context,
                     [&](const Step& step) { progress(progress_line(station, step)); });
    QObject::connect(recipe_.get(), &RecipeRun::logged, &context,
                     [&](const QString& text) { progress(QStringLiteral("station %1: %2").arg(station).arg(text)); });
    runs_.append(recipe_->run(station));
    return runs_.last();
}

void RecipeBatch::not_answered(int station)
{
    StationRun silent;
    silent.station = station;
    silent.aborted = QStringLiteral("station %1 did not answer").arg(station);
    silent.aborted_outside_steps = true;
    runs_.append(silent);
}

QStringList RecipeBatch::conclusion(const StationRun& run)
{
    QStringList lines;
    const int station = run.station;
    if (run.motor_switched_off)
        lines << QStringLiteral("station %1: the motor was switched off (\"EN 0\")").arg(station);
    else if (run.motor_off_unacknowledged())
        lines << QStringLiteral("station %1: %2").arg(station).arg(motor_off_unacknowledged_text());
    // The recipe's own error as FILE:LINE: message, on a line of its own.
    if (run.recipe_error)
        lines << *run.aborted;
    else if (run.aborted)
        lines << QStringLiteral("station %1: aborted: %2").arg(station).arg(*run.aborted);
    lines << (run.passed() ? QStringLiteral("station %1: PASSED, %2 steps").arg(station).arg(run.steps.size())
                           : QStringLiteral("station %1: FAILED%2, %3 of %4 steps failed")
                                 .arg(station)
                                 .arg(run.recipe_error ? QStringLiteral(" (an error in the recipe)")
                                      : run.aborted    ? QStringLiteral(" (aborted)")
                                                       : QString())
                                 .arg(run.failed_steps())
                                 .arg(run.steps.size()));
    return lines;
}

QJsonObject RecipeBatch::json_document(const QString& not_run) const
{
    return recipe::json_document(runs_, not_run);
}

QString RecipeBatch::write_junit(const QString& path, const QString& recipe_name, const QString& not_run) const
{
    WholeFile report(path);
    if (!report.open() || !report.write(junit_xml(runs_, recipe_name, not_run)) || !report.commit())
        return report.error();
    return {};
}

}  // namespace mivo::recipe
