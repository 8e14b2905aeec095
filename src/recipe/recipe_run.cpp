#include "recipe/recipe_run.h"

#include "console/console.h"
#include "console/operation_scope.h"
#include "console/trace_file.h"
#include "recipe/drive_api.h"
#include "recipe/engine_process.h"
#include "recipe/engine_wire.h"
#include "recipe/recipe_watch.h"
#include "recipe/test_api.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJSEngine>

namespace mivo::recipe {

namespace {

// Errors of the recipe's own making, as opposed to a drive that failed or
// an exception the recipe threw itself.
bool is_recipe_fault(const QJsonObject& error)
{
    static const QStringList kinds{"SyntaxError", "ReferenceError", "TypeError",
                                   "RangeError",  "URIError",       "EvalError"};
    return kinds.contains(error.value(QStringLiteral("name")).toString());
}

QJsonObject thrown(const QJSValue& error)
{
    return {{QStringLiteral("throw"),
             QJsonObject{{QStringLiteral("type"), error.property(QStringLiteral("name")).toString()},
                         {QStringLiteral("message"), error.property(QStringLiteral("message")).toString()}}}};
}

}  // namespace

RecipeRun::RecipeRun(Console& console, QObject* parent) : QObject(parent), console_(console) {}

RecipeRun::~RecipeRun() = default;

QString RecipeRun::load(const QString& path)
{
    path_ = path;
    program_.clear();
    sha256_.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
    const QString source = QString::fromUtf8(text);
    // The recipe becomes the body of a function: compiling it finds a syntax
    // error without running a line, and each run starts afresh. The opening
    // shares the first line, so that line numbers stay the file's.
    const QString program = QStringLiteral("(function () {") + source + QStringLiteral("\n})");
    QJSEngine engine;
    const QJSValue compiled = engine.evaluate(program, path, 1);
    if (compiled.isError())
        return error_text(engine_wire::describe_error(compiled));
    program_ = program;
    sha256_ = QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
    return {};
}

QString RecipeRun::error_text(const QJsonObject& error) const
{
    // The recipe is the only script the engine runs: its errors are all in
    // that file.
    const int line = error.value(QStringLiteral("line")).toInt();
    const QString message = error.value(QStringLiteral("text")).toString();
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
    EngineProcess process;
    RecipeWatch watch([&process] { process.kill(); }, console_.exchange(), outside_);
    engine_ = &engine;
    watch_ = &watch;
    result_ = &result;
    step_.reset();
    log_size_ = log_left_out_ = 0;
    traces_kept_ = 0;
    stop_on_failure_ = ended_at_failure_ = aborted_in_step_ = motor_on_ = drive_used_ = false;

    // A recipe's writes wait for the drive's prompt: a drive that does not
    // answer fails the call, and "EN 0" counts only when acknowledged.
    DriveOperations& operations = console_.operations();
    const bool window_writes = !operations.write_replies();
    operations.set_write_replies(true);
    const Stopwatch clock;
    {
        const OperationScope scope(console_.context(), QStringLiteral("recipe"));
        DriveApi drive(*this, station);
        TestApi test(*this);
        engine_wire::set_globals(engine, drive, test);

        std::optional<QJsonObject> end;
        if (const QString error = process.start(program_, path_, station); !error.isEmpty())
            watch.stop(error);
        else
            end = serve(process, drive, test);
        process.kill();
        watch.finish();
        // What stopped the waits is over: the line serves the motor's "EN 0".
        console_.exchange().resume();
        conclude(end, process);
        if (motor_on_ && scope.link.up())
            switch_motor_off(station);
    }
    if (window_writes)
        operations.set_write_replies(false);
    result.time_ms = clock.elapsed();
    engine_ = nullptr;
    watch_ = nullptr;
    result_ = nullptr;
    return result;
}

std::optional<QJsonObject> RecipeRun::serve(EngineProcess& process, DriveApi& drive, TestApi& test)
{
    const qint64 memory_limit = memory_limit_mib_ * 1024 * 1024;
    const auto give_up = [&] {
        if (process.resident_bytes() > memory_limit)
            stop(QStringLiteral("the recipe used more than %1 MiB of memory").arg(memory_limit_mib_));
        return watch_->stopped();
    };
    while (const std::optional<QJsonObject> message = process.next(give_up)) {
        if (message->contains(QStringLiteral("end")))
            return message;
        const QJsonObject reply = answer(message->value(QStringLiteral("call")).toString(),
                                         message->value(QStringLiteral("args")).toArray(), drive, test);
        if (watch_->stopped() || ended_at_failure_)
            return std::nullopt;
        process.answer(reply);
    }
    return std::nullopt;
}

QJsonObject RecipeRun::answer(const QString& name, const QJsonArray& args, DriveApi& drive, TestApi& test)
{
    QJSValueList a;
    for (const QJsonValue& v : args)
        a << engine_wire::from_wire(*engine_, v);
    while (a.size() < 3)
        a << QJSValue(QJSValue::UndefinedValue);

    // Built once: a recipe may make many calls.
    using Call = QJSValue (*)(DriveApi&, TestApi&, const QJSValueList&);
    static const QHash<QString, Call> calls{
        {QStringLiteral("drive.read"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.read(a[0]); }},
        {QStringLiteral("drive.write"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.write(a[0], a[1]); }},
        {QStringLiteral("drive.save"), [](DriveApi& d, TestApi&, const QJSValueList&) { return d.save(); }},
        {QStringLiteral("drive.status"), [](DriveApi& d, TestApi&, const QJSValueList&) { return d.status(); }},
        {QStringLiteral("drive.servo"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.servo(a[0]); }},
        {QStringLiteral("drive.home"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.home(a[0]); }},
        {QStringLiteral("drive.move"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.move(a[0], a[1]); }},
        {QStringLiteral("drive.send"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.send(a[0]); }},
        {QStringLiteral("drive.compare"), [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.compare(a[0]); }},
        {QStringLiteral("drive.restore"),
         [](DriveApi& d, TestApi&, const QJSValueList& a) { return d.restore(a[0], a[1]); }},
        {QStringLiteral("test.step_begin"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { return QJSValue(t.step_begin(a[0])); }},
        {QStringLiteral("test.step_end"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { return QJSValue(t.step_end(a[0])); }},
        {QStringLiteral("test.check"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { return QJSValue(t.check(a[0], a[1], a[2])); }},
        {QStringLiteral("test.log"), [](DriveApi&, TestApi& t, const QJSValueList& a) { t.log(a[0]); return QJSValue(); }},
        {QStringLiteral("test.sleep"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { t.sleep(a[0]); return QJSValue(); }},
        {QStringLiteral("test.timeout_s"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { t.set_timeout_s(a[0].toNumber()); return QJSValue(); }},
        {QStringLiteral("test.stop_on_failure"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { t.set_stop_on_failure(a[0].toBool()); return QJSValue(); }},
        {QStringLiteral("test.serial_pattern"),
         [](DriveApi&, TestApi& t, const QJSValueList& a) { t.set_serial_pattern(a[0], a[1]); return QJSValue(); }},
    };
    if (name.startsWith(u"drive."))
        drive_used_ = true;
    const auto call = calls.constFind(name);
    const QJSValue value = call != calls.cend() ? (*call)(drive, test, a) : QJSValue();
    if (call == calls.cend())
        engine_->throwError(QJSValue::TypeError, QStringLiteral("no such call: %1").arg(name));
    if (engine_->hasError())
        return thrown(engine_->catchError());
    if (value.isUndefined())
        return {};
    return {{QStringLiteral("value"), QJsonValue::fromVariant(value.toVariant())}};
}

void RecipeRun::conclude(const std::optional<QJsonObject>& end, EngineProcess& process)
{
    StationRun& result = *result_;
    result.ended_at_failure = ended_at_failure_;
    if (log_left_out_ > 0)
        result.log.append(QStringLiteral("[log cut: %1 more lines left out]").arg(log_left_out_));
    std::optional<QString> reason = watch_->reason();
    if (!reason && !end && !ended_at_failure_) {
        // A signal may end the engine before the watch has seen it.
        const QString outside = outside_ ? outside_() : QString();
        reason = outside.isEmpty() ? process.end_reason() : outside;
    }
    // A step cut short ends with the run's reason.
    if (step_) {
        step_->error = QStringLiteral("aborted: %1").arg(reason.value_or(QStringLiteral("stopped")));
        aborted_in_step_ = true;
        end_step(std::nullopt);
    }
    if (reason) {
        result.aborted = *reason;
        result.aborted_outside_steps = !aborted_in_step_;
        return;
    }
    if (!end)
        return;
    const QJsonValue error = end->value(QStringLiteral("end"));
    if (error.isObject() && !ended_at_failure_) {
        result.recipe_error = is_recipe_fault(error.toObject());
        result.aborted = error_text(error.toObject());
        result.aborted_outside_steps = true;
    }
}

void RecipeRun::check_serial(const QString& source, const QString& flags)
{
    if (drive_used_) {
        engine_->throwError(QJSValue::TypeError,
                            QStringLiteral("test.serial_pattern is set before the recipe talks to the drive"));
        return;
    }
    // The recipe's own RegExp rules, not an approximation of them.
    QJSValue pattern = engine_->globalObject().property(QStringLiteral("RegExp")).callAsConstructor({source, flags});
    if (pattern.isError()) {
        engine_->throwError(QJSValue::SyntaxError, QStringLiteral("test.serial_pattern: %1").arg(pattern.toString()));
        return;
    }
    if (!serial_)
        return;
    const QJSValue matched = pattern.property(QStringLiteral("test")).callWithInstance(pattern, {*serial_});
    if (matched.toBool())
        return;
    result_->serial_refused = true;
    stop(QStringLiteral("the serial number \"%1\" does not match test.serial_pattern /%2/%3")
             .arg(*serial_, source, flags));
}

void RecipeRun::switch_motor_off(int station)
{
    // "EN 0" goes to the run's drive, whoever selected another since.
    if (console_.vars().station_num != station) {
        const DriveOperations::Selection s = console_.operations().select_station(QString::number(station));
        if (!s.ok())
            return;
    }
    const DriveOperations::Result off = console_.operations().servo(false);
    result_->motor_off_sent = off.ok() || off.failure == DriveOperations::Failure::NoAnswer;
    result_->motor_switched_off = off.ok() && off.acknowledged;
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

bool RecipeRun::begin_step(const QString& name)
{
    if (watch_->stopped() || ended_at_failure_)
        return false;
    step_ = Step{};
    step_->name = name;
    step_clock_.restart();
    emit step_started(name);
    return true;
}

bool RecipeRun::end_step(const std::optional<QString>& error)
{
    Step step = std::move(*step_);
    step_.reset();
    step.time_ms = step_clock_.elapsed();
    if (const std::optional<QString> reason = watch_->reason()) {
        step.error = QStringLiteral("aborted: %1").arg(*reason);
        aborted_in_step_ = true;
    } else if (error) {
        step.error = *error;
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
    if (!step.passed && stop_on_failure_ && !watch_->stopped())
        ended_at_failure_ = true;
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
    return passed;
}

QString RecipeRun::keep_trace(const QList<TraceSample>& samples)
{
    if (artifacts_dir_.isEmpty())
        return {};
    // The path as the folder was given, so that a report names it the way
    // the one who ran it wrote it.
    QString folder = artifacts_dir_;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    folder += QStringLiteral("station-%1").arg(result_->station);
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder %1").arg(folder);
    const QString path = QStringLiteral("%1/trace-%2.csv").arg(folder).arg(++traces_kept_);
    if (const QString error = trace_file::write(path, samples); !error.isEmpty())
        return QStringLiteral("cannot write the trace %1").arg(error);
    (step_ ? step_->attachments : result_->attachments).append(path);
    return {};
}

void RecipeRun::add_trace(double target, const QList<TraceSample>& samples)
{
    TracedMove move;
    // The step under way is appended when it ends, at the next index.
    move.step = step_ ? int(result_->steps.size()) : -1;
    move.target = target;
    move.samples.reserve(samples.size());
    for (const TraceSample& s : samples)
        move.samples.append({s.time_ms, s.position});
    result_->traces.append(std::move(move));
}

void RecipeRun::add_log(const QString& text)
{
    // A run's log has room for a test's notes, not for a recipe that logs
    // without end: past the limit lines are only counted.
    const QString line = engine_wire::log_line(text);
    if (log_size_ + line.size() > kLongestLog) {
        ++log_left_out_;
        return;
    }
    log_size_ += line.size();
    if (step_)
        step_->log.append(line);
    else
        result_->log.append(line);
    emit logged(line);
}

}  // namespace mivo::recipe
