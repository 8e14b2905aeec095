#include "recipe/recipe_run.h"

#include "console/console.h"
#include "console/operation_scope.h"
#include "recipe/drive_api.h"
#include "recipe/recipe_watch.h"
#include "recipe/test_api.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>

namespace mivo::recipe {

namespace {

// Errors of the recipe's own making, as opposed to a drive that failed or
// an exception the recipe threw itself.
bool is_recipe_fault(const QJSValue& error)
{
    static const QStringList kinds{"SyntaxError", "ReferenceError", "TypeError",
                                   "RangeError",  "URIError",       "EvalError"};
    return kinds.contains(error.property(QStringLiteral("name")).toString());
}

}  // namespace

RecipeRun::RecipeRun(Console& console, QObject* parent) : QObject(parent), console_(console) {}

RecipeRun::~RecipeRun() = default;

QString RecipeRun::load(const QString& path)
{
    path_ = path;
    program_.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
    const QString source = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
    // The recipe becomes the body of a function: compiling it finds a syntax
    // error without running a line, and each run starts afresh. The opening
    // shares the first line, so that line numbers stay the file's.
    const QString program = QStringLiteral("(function () {") + source + QStringLiteral("\n})");
    QJSEngine engine;
    const QJSValue compiled = engine.evaluate(program, path, 1);
    if (compiled.isError())
        return error_text(compiled);
    program_ = program;
    return {};
}

QString RecipeRun::error_text(const QJSValue& error) const
{
    // The recipe is the only script the engine runs: its errors are all in
    // that file (the engine itself names it as a URL).
    const int line = error.property(QStringLiteral("lineNumber")).toInt();
    const QString message = error.toString();
    if (line <= 0)
        return QStringLiteral("%1: %2").arg(path_, message);
    return QStringLiteral("%1:%2: %3").arg(path_).arg(line).arg(message);
}

QString RecipeRun::resolve(const QString& file) const
{
    return QFileInfo(file).isAbsolute() ? file : QFileInfo(path_).dir().filePath(file);
}

StationRun RecipeRun::run(int station)
{
    StationRun result;
    result.station = station;
    if (program_.isEmpty() || running())
        return result;

    QJSEngine engine;
    engine.installExtensions(QJSEngine::ConsoleExtension);
    RecipeWatch watch(engine, console_.exchange(), outside_);
    engine_ = &engine;
    watch_ = &watch;
    result_ = &result;
    step_.reset();
    stop_on_failure_ = ended_at_failure_ = aborted_in_step_ = motor_on_ = false;

    const Stopwatch clock;
    QJSValue outcome;
    {
        const OperationScope scope(console_.context(), QStringLiteral("recipe"));
        DriveApi drive(*this, station);
        TestApi test(*this);
        QJSEngine::setObjectOwnership(&drive, QJSEngine::CppOwnership);
        QJSEngine::setObjectOwnership(&test, QJSEngine::CppOwnership);
        engine.globalObject().setProperty(QStringLiteral("drive"), engine.newQObject(&drive));
        engine.globalObject().setProperty(QStringLiteral("test"), engine.newQObject(&test));

        const QJSValue body = engine.evaluate(program_, path_, 1);
        outcome = body.isError() ? body : body.call();
        watch.finish();
        // What stopped the waits is over: the line serves the motor's "EN 0".
        console_.exchange().resume();

        if (const std::optional<QString> reason = watch.reason()) {
            result.aborted = *reason;
            result.aborted_outside_steps = !aborted_in_step_;
        } else if (outcome.isError() && !ended_at_failure_) {
            result.recipe_error = is_recipe_fault(outcome);
            result.aborted = error_text(outcome);
            result.aborted_outside_steps = true;
        }
        if (motor_on_ && scope.link.up()) {
            const DriveOperations::Result off = console_.operations().servo(false);
            result.motor_switched_off = off.ok();
        }
    }
    result.time_ms = clock.elapsed();
    engine_ = nullptr;
    watch_ = nullptr;
    result_ = nullptr;
    return result;
}

void RecipeRun::stop(const QString& reason)
{
    if (watch_)
        watch_->stop(reason);
}

void RecipeRun::line_lost()
{
    stop(QStringLiteral("the line was lost"));
}

void RecipeRun::exchange_stopped()
{
    const QString reason = outside_ ? outside_() : QString();
    stop(reason.isEmpty() ? QStringLiteral("stopped") : reason);
}

void RecipeRun::wait_cut_short()
{
    if (console_.exchange().is_stopped())
        exchange_stopped();
    else
        line_lost();
}

void RecipeRun::end_at_failure()
{
    ended_at_failure_ = true;
    engine_->setInterrupted(true);
}

void RecipeRun::show_progress()
{
    if (console_.exchange().link_up())
        QCoreApplication::processEvents();
}

bool RecipeRun::run_step(const QString& name, const QJSValue& body)
{
    if (watch_->stopped() || ended_at_failure_)
        return false;
    step_ = Step{};
    step_->name = name;
    emit step_started(name);
    const Stopwatch clock;
    QJSValue outcome = body.call();
    Step step = std::move(*step_);
    step_.reset();
    step.time_ms = clock.elapsed();
    if (const std::optional<QString> reason = watch_->reason()) {
        step.error = QStringLiteral("aborted: %1").arg(*reason);
        aborted_in_step_ = true;
    } else if (outcome.isError()) {
        step.error = error_text(outcome);
    }
    step.passed = step.error.isEmpty()
                  && std::all_of(step.checks.begin(), step.checks.end(), [](const Check& c) { return c.passed; });
    finish_step(step);
    return step.passed;
}

void RecipeRun::finish_step(const Step& step)
{
    result_->steps.append(step);
    emit step_ended(step);
    show_progress();
    if (!step.passed && stop_on_failure_ && !watch_->stopped())
        end_at_failure();
}

bool RecipeRun::add_check(Check check)
{
    const bool passed = check.passed;
    if (!step_) {
        // A check on its own is a step of its own.
        Step step;
        step.name = check.name;
        step.passed = passed;
        emit step_started(step.name);
        step.checks.append(check);
        emit check_made(check);
        finish_step(step);
        return passed;
    }
    step_->checks.append(check);
    emit check_made(check);
    show_progress();
    return passed;
}

void RecipeRun::add_log(const QString& text)
{
    if (step_)
        step_->log.append(text);
    else
        result_->log.append(text);
    emit logged(text);
}

}  // namespace mivo::recipe
