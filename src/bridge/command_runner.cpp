#include "bridge/command_runner.h"

#include "console/console.h"
#include "console/settings_file.h"
#include "console/status_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace mivo::bridge {

using Failure = DriveOperations::Failure;

namespace {

QJsonValue or_null(const std::optional<double>& v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonObject failed(const QString& error)
{
    return QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}

QString failure_text(Failure f, int station, const QString& op)
{
    switch (f) {
    case Failure::None: return {};
    case Failure::NoAnswer: return QStringLiteral("%1: no answer from station %2").arg(op).arg(station);
    case Failure::LinkLost: return QStringLiteral("the line was lost");
    case Failure::Refused: return QStringLiteral("%1: refused").arg(op);
    case Failure::Interrupted: return QStringLiteral("the bridge is stopping");
    }
    return {};
}

// The result's fields; ok when nothing went wrong.
QJsonObject done(QJsonObject fields, const QString& error = {})
{
    fields.insert(QStringLiteral("ok"), error.isEmpty());
    fields.insert(QStringLiteral("error"), error.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(error));
    return fields;
}

}  // namespace

CommandRunner::CommandRunner(Console& console, QSet<QString> allowed)
    : console_(console), allowed_(std::move(allowed))
{
}

void CommandRunner::take(int station, const QByteArray& payload)
{
    QJsonValue id;
    auto parsed = StationCommand::parse(payload, allowed_, console_.exchange().reply_wait_ms(), id);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        answer(station, id, failed(*error));
        return;
    }
    if (closed_) {
        answer(station, id, failed(closed_why_));
        return;
    }
    if (qsizetype(waiting_.size()) >= kMostWaiting) {
        answer(station, id, failed(QStringLiteral("busy")));
        return;
    }
    waiting_.push_back(Waiting{station, id, std::get<StationCommand>(std::move(parsed))});
    // Messages come from the idle event loop, between two of the rounds'
    // goes; one that comes inside a running command's wait waits its turn.
    if (!running_)
        run_next();
}

void CommandRunner::close(const QString& why)
{
    closed_ = true;
    closed_why_ = why;
    while (!waiting_.empty()) {
        const Waiting w = waiting_.front();
        waiting_.pop_front();
        answer(w.station, w.id, failed(why));
    }
    if (!running_)
        emit idle();
}

void CommandRunner::run_next()
{
    if (running_ || waiting_.empty())
        return;
    running_ = true;
    const Waiting w = waiting_.front();
    waiting_.pop_front();
    answer(w.station, w.id, run(w.station, w.command));
    running_ = false;
    if (!waiting_.empty())
        QTimer::singleShot(0, this, &CommandRunner::run_next);
    else
        emit idle();
}

void CommandRunner::answer(int station, const QJsonValue& id, QJsonObject fields)
{
    fields.insert(QStringLiteral("id"), id);
    emit reply(station, QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

QJsonObject CommandRunner::run(int station, const StationCommand& c)
{
    if (console_.vars().is_linked != kTrue)
        return failed(QStringLiteral("the line is not connected"));
    DriveOperations& ops = console_.operations();
    const DriveOperations::Selection s = ops.select_station(QString::number(station));
    if (s.failure == Failure::NoAnswer)
        return failed(QStringLiteral("station %1 did not answer").arg(station));
    if (!s.ok())
        return failed(failure_text(s.failure, station, c.op));
    QJsonObject d{{QStringLiteral("station"), station}};

    if (c.op == u"status") {
        const DriveOperations::Status r = ops.read_status();
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        QJsonObject fields = status_fields(r);
        fields.insert(QStringLiteral("station"), station);
        return done(fields);
    }
    const QString entry = c.entry >= 0 ? settings_file::name_of(c.entry) : QString();
    if (c.op == u"read") {
        const DriveOperations::EntryValue r = ops.read_entry(c.entry);
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        d.insert(QStringLiteral("entry"), entry);
        d.insert(QStringLiteral("value"), r.value ? QJsonValue(*r.value) : QJsonValue(QJsonValue::Null));
        return done(d, r.value ? QString() : QStringLiteral("read: no value for %1").arg(entry));
    }
    if (c.op == u"write") {
        const DriveOperations::Written r = ops.write_entry(c.entry, c.value);
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        d.insert(QStringLiteral("entry"), entry);
        d.insert(QStringLiteral("value"), c.value);
        d.insert(QStringLiteral("taken"), r.taken);
        return done(d, r.taken ? QString()
                               : QStringLiteral("not taken: the drive holds %1")
                                     .arg(r.read_back ? QString::number(*r.read_back) : QStringLiteral("no value")));
    }
    if (c.op == u"save") {
        const DriveOperations::Saved r = ops.save();
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        d.insert(QStringLiteral("saved"), r.answered);
        return done(d);
    }
    if (c.op == u"servo") {
        const DriveOperations::Result r = ops.servo(c.on);
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        d.insert(QStringLiteral("servo"), c.on);
        d.insert(QStringLiteral("acknowledged"), r.acknowledged);
        return done(d);
    }
    if (c.op == u"home") {
        const DriveOperations::Homed r = ops.home(c.timeout_ms);
        if (r.failure == Failure::NoAnswer)
            return failed(QStringLiteral("home: no prompt from station %1 within %2 s").arg(station).arg(c.timeout_ms / 1000.0));
        if (!r.ok())
            return failed(failure_text(r.failure, station, c.op));
        d.insert(QStringLiteral("done"), r.done);
        d.insert(QStringLiteral("time_ms"), r.time_ms);
        return done(d);
    }
    // move
    const DriveOperations::Moved r = ops.move(c.move);
    if (r.speed_refused)
        return failed(QStringLiteral("the drive refused the speed %1").arg(c.move.speed.value_or(QString())));
    if (!r.ok())
        return failed(failure_text(r.failure, station, c.op));
    d.insert(QStringLiteral("target"), c.move.position);
    d.insert(QStringLiteral("acknowledged"), r.acknowledged);
    if (c.move.wait) {
        d.insert(QStringLiteral("position"), or_null(r.position));
        d.insert(QStringLiteral("reached"), r.reached);
        d.insert(QStringLiteral("time_ms"), r.time_ms);
    }
    return done(d, !c.move.wait || r.reached ? QString()
                                            : QStringLiteral("stopped short of %1").arg(c.move.position));
}

}  // namespace mivo::bridge
