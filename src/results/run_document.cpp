#include "results/run_document.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace mivo::results {

namespace {

QJsonValue or_null(const std::optional<qint16>& v)
{
    return v ? QJsonValue(int(*v)) : QJsonValue(QJsonValue::Null);
}

// A CSV field, quoted when it must be (RFC 4180).
QString csv_field(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace

std::optional<QDateTime> time_bound(const QString& text, bool until)
{
    static const QRegularExpression date_only(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    if (date_only.match(text).hasMatch()) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (!day.isValid())
            return std::nullopt;
        return until ? day.addDays(1).startOfDay().addMSecs(-1) : day.startOfDay();
    }
    static const QRegularExpression date_time(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}(:[0-9]{2}(\\.[0-9]{1,3})?)?(Z|[+-][0-9]{2}:?[0-9]{2})?$"));
    const QRegularExpressionMatch m = date_time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid())
        return std::nullopt;
    if (!until || !m.captured(2).isEmpty())
        return t;
    return t.addMSecs(m.captured(1).isEmpty() ? 59'999 : 999);
}

QString verdict_word(Verdict v)
{
    switch (v) {
    case Verdict::Passed: return QStringLiteral("PASSED");
    case Verdict::Failed: return QStringLiteral("FAILED");
    case Verdict::Aborted: return QStringLiteral("ABORTED");
    case Verdict::Incomplete: return QStringLiteral("INCOMPLETE");
    }
    return QStringLiteral("INCOMPLETE");
}

Verdict verdict_of(const recipe::StationRun& run)
{
    if (run.passed())
        return Verdict::Passed;
    return run.aborted || run.ended_at_failure ? Verdict::Aborted : Verdict::Failed;
}

QString first_failure(const recipe::StationRun& run)
{
    for (const recipe::Step& step : run.steps) {
        if (step.passed)
            continue;
        for (const recipe::Check& c : step.checks)
            if (!c.passed)
                return c.description();
        if (!step.error.isEmpty())
            return QStringLiteral("%1: %2").arg(step.name, step.error);
    }
    return {};
}

QString time_text(const QDateTime& t)
{
    return t.toString(Qt::ISODateWithMs);
}

QJsonObject run_json(const StoredRun& r)
{
    // The steps and checks exactly as `run --json` gives them, with each
    // step's log lines beside.
    const QJsonObject station =
        recipe::json_document({r.run}).value(QStringLiteral("stations")).toArray().first().toObject();
    QJsonArray steps = station.value(QStringLiteral("steps")).toArray();
    for (int i = 0; i < steps.size() && i < r.run.steps.size(); ++i) {
        QJsonObject s = steps[i].toObject();
        s.insert(QStringLiteral("log"), QJsonArray::fromStringList(r.run.steps[i].log));
        steps[i] = s;
    }
    QJsonArray writes;
    for (const recipe::Write& w : r.run.writes)
        writes.append(QJsonObject{{QStringLiteral("entry"), w.entry},
                                  {QStringLiteral("value"), or_null(w.value)},
                                  {QStringLiteral("read_back"), or_null(w.read_back)},
                                  {QStringLiteral("taken"), w.taken}});
    QJsonArray traces;
    for (const recipe::TracedMove& move : r.run.traces) {
        QJsonArray samples;
        for (const QPointF& s : move.samples)
            samples.append(QJsonArray{s.x(), s.y()});
        const bool in_step = move.step >= 0 && move.step < r.run.steps.size();
        traces.append(QJsonObject{{QStringLiteral("step"), in_step ? QJsonValue(r.run.steps[move.step].name)
                                                                   : QJsonValue(QJsonValue::Null)},
                                  {QStringLiteral("target"), move.target},
                                  {QStringLiteral("samples"), samples}});
    }
    const bool incomplete = r.verdict == Verdict::Incomplete;
    QJsonObject o{
        {QStringLiteral("id"), r.id},
        {QStringLiteral("started"), time_text(r.start.started)},
        {QStringLiteral("ended"), r.ended ? QJsonValue(time_text(*r.ended)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("host"), r.start.host},
        {QStringLiteral("port"), r.start.port},
        {QStringLiteral("station"), r.start.station},
        {QStringLiteral("serial"), r.start.serial},
        {QStringLiteral("operator"), r.start.operator_name},
        {QStringLiteral("recipe"), r.start.recipe},
        {QStringLiteral("recipe_sha256"), r.start.recipe_sha256},
        {QStringLiteral("drive"), r.start.drive},
        {QStringLiteral("verdict"), verdict_word(r.verdict)},
        {QStringLiteral("passed"), r.verdict == Verdict::Passed},
        {QStringLiteral("aborted"), r.run.aborted ? QJsonValue(*r.run.aborted) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("incomplete"), incomplete},
        {QStringLiteral("motor_switched_off"), r.run.motor_switched_off},
        {QStringLiteral("motor_off_sent"), r.run.motor_off_sent},
        {QStringLiteral("time_ms"), r.run.time_ms},
        {QStringLiteral("steps"), steps},
        {QStringLiteral("writes"), writes},
        {QStringLiteral("log"), QJsonArray::fromStringList(r.run.log)},
        {QStringLiteral("traces"), traces},
    };
    if (r.snapshot) {
        QJsonObject snapshot;
        for (const auto& [entry, value] : *r.snapshot)
            snapshot.insert(entry, or_null(value));
        o.insert(QStringLiteral("snapshot"), snapshot);
    }
    return o;
}

QString run_line(const StoredRun& r)
{
    QString line = QStringLiteral("%1  %2  station %3  %4  %5")
                       .arg(time_text(r.start.started), r.start.serial)
                       .arg(r.start.station)
                       .arg(r.start.recipe, verdict_word(r.verdict));
    if (!r.first_failed_check.isEmpty())
        line += QStringLiteral("  ") + r.first_failed_check;
    return line;
}

QString csv_header()
{
    return QStringLiteral("id,started,ended,serial,station,operator,recipe,verdict,first_failed_check");
}

QString csv_row(const StoredRun& r)
{
    return QStringList{QString::number(r.id),
                       time_text(r.start.started),
                       r.ended ? time_text(*r.ended) : QString(),
                       csv_field(r.start.serial),
                       QString::number(r.start.station),
                       csv_field(r.start.operator_name),
                       csv_field(r.start.recipe),
                       verdict_word(r.verdict),
                       csv_field(r.first_failed_check)}
        .join(u',');
}

QByteArray run_junit(const StoredRun& r)
{
    recipe::StationRun run = r.run;
    // A run cut short has no end to report: it reads as an abort.
    if (r.verdict == Verdict::Incomplete && !run.aborted) {
        run.aborted = QStringLiteral("incomplete: the run never ended (the program or the computer stopped)");
        run.aborted_outside_steps = true;
    }
    return recipe::junit_xml({run}, r.start.recipe);
}

}  // namespace mivo::results
