#include "recipe/drive_api.h"

#include "console/console.h"
#include "console/move_trace.h"
#include "protocol/command_lines.h"
#include "recipe/recipe_run.h"

#include <QJSEngine>

#include <cmath>

namespace mivo::recipe {

namespace {

using Failure = DriveOperations::Failure;

QJSValue number_or_null(const std::optional<double>& v)
{
    return v ? QJSValue(*v) : QJSValue(QJSValue::NullValue);
}

// A settings operation's outcome as an operation's failure; differences
// are a result, not a failure.
Failure failure_of(DriveSettings::Outcome outcome)
{
    switch (outcome) {
    case DriveSettings::Outcome::Done:
    case DriveSettings::Outcome::Differences: return Failure::None;
    case DriveSettings::Outcome::NoAnswer: return Failure::NoAnswer;
    case DriveSettings::Outcome::LinkLost: return Failure::LinkLost;
    case DriveSettings::Outcome::Interrupted: return Failure::Interrupted;
    case DriveSettings::Outcome::FileError:
    case DriveSettings::Outcome::BadFile: return Failure::Refused;
    }
    return Failure::Refused;
}

bool given(const QJSValue& v)
{
    return !v.isUndefined() && !v.isNull();
}

}  // namespace

QJSValue DriveApi::type_error(const QString& message)
{
    qjsEngine(this)->throwError(QJSValue::TypeError, message);
    return {};
}

QJSValue DriveApi::range_error(const QString& message)
{
    qjsEngine(this)->throwError(QJSValue::RangeError, message);
    return {};
}

QJSValue DriveApi::error(const QString& message)
{
    qjsEngine(this)->throwError(QJSValue::GenericError, message);
    return {};
}

QJSValue DriveApi::failed(Failure failure, const QString& what)
{
    switch (failure) {
    case Failure::None: break;
    case Failure::NoAnswer: return error(QStringLiteral("%1: no answer from station %2").arg(what).arg(station_));
    case Failure::LinkLost:
        run_.line_lost();
        return error(QStringLiteral("%1: the line was lost").arg(what));
    case Failure::Refused: return type_error(QStringLiteral("%1: cannot be sent").arg(what));
    case Failure::Interrupted:
        run_.exchange_stopped();
        return error(QStringLiteral("%1: stopped").arg(what));
    }
    return {};
}

int DriveApi::entry_of(const QJSValue& entry, const QString& call)
{
    const int e = entry.isString() ? settings_file::entry_named(entry.toString()) : -1;
    if (e < 0)
        range_error(QStringLiteral("%1 takes an entry P0 to P15 or V0 to V6, not %2").arg(call, entry.toString()));
    return e;
}

std::optional<qint32> DriveApi::limit_ms(const QJSValue& options, const QString& call, qint32 fallback)
{
    const QJSValue seconds = options.property(QStringLiteral("timeout_s"));
    if (!given(seconds))
        return fallback;
    const double s = seconds.toNumber();
    if (!seconds.isNumber() || !std::isfinite(s) || s <= 0 || s > 86400) {
        range_error(QStringLiteral("%1: timeout_s takes seconds, more than 0 and at most 86400, not %2")
                        .arg(call, seconds.toString()));
        return std::nullopt;
    }
    return qint32(std::llround(s * 1000));
}

std::optional<settings_file::Values> DriveApi::settings(const QJSValue& file, const QString& call)
{
    if (!file.isString() || file.toString().isEmpty()) {
        type_error(QStringLiteral("%1 takes a settings file's name").arg(call));
        return std::nullopt;
    }
    const QString path = run_.resolve(file.toString());
    const auto loaded = settings_file::load(path);
    if (const auto* e = std::get_if<settings_file::Error>(&loaded)) {
        error(QStringLiteral("%1: %2").arg(call, settings_file::error_text(path, *e)));
        return std::nullopt;
    }
    return std::get<settings_file::Values>(loaded);
}

QJSValue DriveApi::read(const QJSValue& entry)
{
    const int e = entry_of(entry, QStringLiteral("drive.read"));
    if (e < 0)
        return {};
    const DriveOperations::EntryValue v = run_.console_.operations().read_entry(e);
    if (!v.ok() || !v.value)
        return failed(v.ok() ? Failure::NoAnswer : v.failure, QStringLiteral("drive.read(%1)").arg(entry.toString()));
    return QJSValue(int(*v.value));
}

QJSValue DriveApi::write(const QJSValue& entry, const QJSValue& value)
{
    const int e = entry_of(entry, QStringLiteral("drive.write"));
    if (e < 0)
        return {};
    const double v = value.toNumber();
    if (!value.isNumber() || v != std::trunc(v) || v < -32768 || v > 32767)
        return range_error(QStringLiteral("drive.write takes a whole number from -32768 to 32767, not %1")
                               .arg(value.toString()));
    const QString what = QStringLiteral("drive.write(%1, %2)").arg(entry.toString()).arg(v);
    const DriveOperations::Written w = run_.console_.operations().write_entry(e, qint16(v));
    if (w.ok() || w.failure == Failure::NoAnswer)
        run_.add_write({settings_file::name_of(e), qint16(v), w.read_back, w.ok() && w.taken});
    if (!w.ok())
        return failed(w.failure, what);
    if (!w.taken)
        return error(QStringLiteral("%1: not taken, the drive holds %2")
                         .arg(what, w.read_back ? QString::number(*w.read_back) : QStringLiteral("nothing")));
    return {};
}

QJSValue DriveApi::save()
{
    const DriveOperations::Saved s = run_.console_.operations().save();
    if (s.ok() || s.failure == Failure::NoAnswer)
        run_.add_write({QStringLiteral("SV"), std::nullopt, std::nullopt, s.ok() && s.answered});
    if (!s.ok())
        return failed(s.failure, QStringLiteral("drive.save()"));
    return {};
}

QJSValue DriveApi::status()
{
    const DriveOperations::Status s = run_.console_.operations().read_status();
    if (!s.ok())
        return failed(s.failure, QStringLiteral("drive.status()"));
    QJSEngine& engine = *qjsEngine(this);
    QJSValue out = engine.newObject();
    out.setProperty(QStringLiteral("position"), number_or_null(s.position));
    out.setProperty(QStringLiteral("state"), s.state ? QJSValue(double(*s.state)) : QJSValue(QJSValue::NullValue));
    out.setProperty(QStringLiteral("inputs"), s.inputs ? QJSValue(int(*s.inputs)) : QJSValue(QJSValue::NullValue));
    // Each bit's name as a truth value, null when its word did not come.
    const auto bits = [&](const QStringList& names, const QStringList& set, bool came) {
        QJSValue o = engine.newObject();
        for (const QString& n : names)
            o.setProperty(n, came ? QJSValue(set.contains(n)) : QJSValue(QJSValue::NullValue));
        return o;
    };
    out.setProperty(QStringLiteral("bits"), bits(DriveOperations::state_bit_names(0xFF),
                                                 DriveOperations::state_bit_names(s.state.value_or(0)),
                                                 s.state.has_value()));
    out.setProperty(QStringLiteral("di"), bits(DriveOperations::input_bit_names(0xF),
                                               DriveOperations::input_bit_names(s.inputs.value_or(0)),
                                               s.inputs.has_value()));
    return out;
}

QJSValue DriveApi::servo(const QJSValue& on)
{
    if (!on.isBool())
        return type_error(QStringLiteral("drive.servo takes true or false, not %1").arg(on.toString()));
    // Counted as on from the moment "EN 1" may have gone out.
    if (on.toBool())
        run_.motor_on_ = true;
    const DriveOperations::Result r = run_.console_.operations().servo(on.toBool());
    if (!r.ok())
        return failed(r.failure, QStringLiteral("drive.servo(%1)").arg(on.toString()));
    if (!on.toBool())
        run_.motor_on_ = false;
    return {};
}

QJSValue DriveApi::home(const QJSValue& options)
{
    const std::optional<qint32> limit = limit_ms(options, QStringLiteral("drive.home"), 600'000);
    if (!limit)
        return {};
    // Shorter than one reply wait, the drive would start homing and the
    // call fail whatever it did.
    if (const qint32 wait = run_.console_.exchange().reply_wait_ms(); *limit < wait)
        return range_error(QStringLiteral("drive.home: timeout_s %1 is shorter than the reply wait (%2 ms)")
                               .arg(*limit / 1000.0)
                               .arg(wait));
    const DriveOperations::Homed h = run_.console_.operations().home(*limit);
    if (h.failure == Failure::NoAnswer)
        return error(QStringLiteral("drive.home(): no prompt from station %1 within %2 s")
                         .arg(station_)
                         .arg(*limit / 1000.0));
    if (!h.ok())
        return failed(h.failure, QStringLiteral("drive.home()"));
    QJSValue out = qjsEngine(this)->newObject();
    out.setProperty(QStringLiteral("done"), h.done);
    out.setProperty(QStringLiteral("time_ms"), double(h.time_ms));
    return out;
}

QJSValue DriveApi::move(const QJSValue& position, const QJSValue& options)
{
    const double p = position.toNumber();
    if (!position.isNumber() || p != std::trunc(p) || p < -2147483648.0 || p > 2147483647.0)
        return range_error(QStringLiteral("drive.move takes a whole 32-bit position, not %1").arg(position.toString()));
    DriveOperations::MoveRequest request;
    request.position = qint32(p);
    const QJSValue speed = options.property(QStringLiteral("speed"));
    if (given(speed)) {
        const QString text = speed.isNumber() ? QString::number(speed.toNumber(), 'g', 15) : speed.toString();
        if ((!speed.isNumber() && !speed.isString()) || text.isEmpty() || text.contains(u'\r') || text.contains(u'\n')
            || !protocol::unsendable_character(text).isEmpty())
            return type_error(QStringLiteral("drive.move: speed takes a number, not %1").arg(speed.toString()));
        request.speed = text;
    }
    request.wait = options.property(QStringLiteral("wait")).toBool();
    const QJSValue tolerance = options.property(QStringLiteral("tolerance"));
    if (given(tolerance)) {
        const double t = tolerance.toNumber();
        if (!tolerance.isNumber() || !std::isfinite(t) || t < 0)
            return range_error(QStringLiteral("drive.move: tolerance takes a number from 0, not %1")
                                   .arg(tolerance.toString()));
        request.tolerance = t;
    }
    const std::optional<qint32> limit = limit_ms(options, QStringLiteral("drive.move"), 60'000);
    if (!limit)
        return {};
    request.timeout_ms = *limit;
    if (options.property(QStringLiteral("trace")).toBool()) {
        if (!request.wait)
            return type_error(QStringLiteral("drive.move: trace goes with wait: true"));
        return traced_move(request);
    }

    const DriveOperations::Moved m = run_.console_.operations().move(request);
    if (m.speed_refused)
        return error(QStringLiteral("drive.move(%1): the drive refused the speed %2")
                         .arg(request.position)
                         .arg(*request.speed));
    if (!m.ok())
        return failed(m.failure, QStringLiteral("drive.move(%1)").arg(request.position));
    QJSValue out = qjsEngine(this)->newObject();
    out.setProperty(QStringLiteral("position"), number_or_null(m.position));
    out.setProperty(QStringLiteral("reached"), request.wait ? QJSValue(m.reached) : QJSValue(QJSValue::NullValue));
    out.setProperty(QStringLiteral("time_ms"), double(m.time_ms));
    return out;
}

QJSValue DriveApi::traced_move(const DriveOperations::MoveRequest& request)
{
    const MoveTrace::Traced t = MoveTrace(run_.console_.context(), run_.console_.operations()).run(request);
    const QString call = QStringLiteral("drive.move(%1)").arg(request.position);
    if (t.speed_refused)
        return error(QStringLiteral("%1: the drive refused the speed %2").arg(call, *request.speed));
    if (!t.ok())
        return failed(t.failure, call);
    run_.add_trace(request.position, t.samples);
    if (const QString kept = run_.keep_trace(t.samples); !kept.isEmpty())
        return error(QStringLiteral("%1: %2").arg(call, kept));
    QJSValue out = qjsEngine(this)->newObject();
    out.setProperty(QStringLiteral("position"), number_or_null(t.position));
    out.setProperty(QStringLiteral("reached"), t.reached);
    out.setProperty(QStringLiteral("time_ms"), double(t.time_ms));
    QJSValue trace = qjsEngine(this)->newObject();
    const QJsonObject figures = t.metrics.to_json();
    for (auto it = figures.begin(); it != figures.end(); ++it)
        trace.setProperty(it.key(), it->isNull() ? QJSValue(QJSValue::NullValue) : QJSValue(it->toDouble()));
    out.setProperty(QStringLiteral("trace"), trace);
    return out;
}

QJSValue DriveApi::send(const QJSValue& line)
{
    const QString text = line.toString();
    if (!line.isString() || text.contains(u'\r') || text.contains(u'\n'))
        return type_error(QStringLiteral("drive.send takes one line of text"));
    if (const QString reason = protocol::unsendable_reason(text); !reason.isEmpty())
        return type_error(QStringLiteral("drive.send: %1").arg(reason));
    // A recipe runs on its station: a line that selects another would send
    // the rest of the run, "EN 0" included, to some other drive.
    const protocol::RawLineEffect effect = protocol::raw_line_effect(text);
    if (effect == protocol::RawLineEffect::SelectsStation)
        return type_error(QStringLiteral("drive.send: a recipe runs on one station and cannot select another (\"%1\")")
                              .arg(text));
    // The motor switched by hand counts as by drive.servo: on from the
    // moment the line may have gone out, off once the drive answered it
    // with its prompt and no refusal.
    if (effect == protocol::RawLineEffect::MotorOn)
        run_.motor_on_ = true;
    const DriveOperations::Sent s = run_.console_.operations().send_line(text);
    if (!s.ok())
        return failed(s.failure, QStringLiteral("drive.send(\"%1\")").arg(text));
    if (effect == protocol::RawLineEffect::MotorOff && s.received.contains(u'>')
        && !s.lines.contains(QStringLiteral("ERR")))
        run_.motor_on_ = false;
    return qjsEngine(this)->toScriptValue(s.lines);
}

QJSValue DriveApi::compare(const QJSValue& file)
{
    const std::optional<settings_file::Values> values = settings(file, QStringLiteral("drive.compare"));
    if (!values)
        return {};
    const DriveSettings::Report report = run_.console_.drive_settings().compare(*values);
    if (const Failure f = failure_of(report.outcome); f != Failure::None)
        return failed(f, QStringLiteral("drive.compare(\"%1\")").arg(file.toString()));
    QJSEngine& engine = *qjsEngine(this);
    QJSValue out = engine.newArray(quint32(report.differences.size()));
    quint32 i = 0;
    for (const DriveSettings::Entry& e : report.differences) {
        QJSValue d = engine.newObject();
        d.setProperty(QStringLiteral("entry"), settings_file::name_of(e.entry));
        d.setProperty(QStringLiteral("drive"), int(e.drive));
        d.setProperty(QStringLiteral("file"), int(e.file));
        out.setProperty(i++, d);
    }
    return out;
}

QJSValue DriveApi::restore(const QJSValue& file, const QJSValue& options)
{
    const std::optional<settings_file::Values> values = settings(file, QStringLiteral("drive.restore"));
    if (!values)
        return {};
    const bool save = options.property(QStringLiteral("save")).toBool();
    const DriveSettings::Report report = run_.console_.drive_settings().restore(
        *values, save ? DriveSettings::SaveChoice::Save : DriveSettings::SaveChoice::DoNotSave);
    for (const DriveSettings::Entry& e : report.written) {
        const QString name = settings_file::name_of(e.entry);
        const bool taken = !report.not_taken.contains(name);
        run_.add_write({name, e.file, taken ? std::optional<qint16>(e.file) : std::nullopt, taken});
    }
    if (report.save_sent)
        run_.add_write({QStringLiteral("SV"), std::nullopt, std::nullopt, report.saved});
    if (const Failure f = failure_of(report.outcome); f != Failure::None)
        return failed(f, QStringLiteral("drive.restore(\"%1\")").arg(file.toString()));
    QStringList written;
    for (const DriveSettings::Entry& e : report.written)
        written << settings_file::name_of(e.entry);
    QJSEngine& engine = *qjsEngine(this);
    QJSValue out = engine.newObject();
    out.setProperty(QStringLiteral("written"), engine.toScriptValue(written));
    out.setProperty(QStringLiteral("not_taken"), engine.toScriptValue(report.not_taken));
    out.setProperty(QStringLiteral("saved"), report.saved);
    return out;
}

}  // namespace mivo::recipe
