#include "results/run_finder.h"

#include "results/results_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>

namespace mivo::results {

namespace {

const char* const kRunColumns =
    "id, started_ms, utc_offset_s, ended_ms, host, port, station, serial, operator, recipe, recipe_sha256, drive, "
    "verdict, aborted, recipe_error, motor_switched_off, motor_off_sent, aborted_outside_steps, time_ms, "
    "first_failed_check, snapshot_taken";

std::optional<qint16> small_or_none(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<qint16>(qint16(v.toInt()));
}

std::optional<double> number_or_none(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
}

QJsonValue from_json_text(const QVariant& v)
{
    if (v.isNull())
        return QJsonValue::Undefined;
    return QJsonDocument::fromJson(v.toString().toUtf8()).array().first();
}

Verdict verdict_named(const QString& word)
{
    for (const Verdict v : {Verdict::Passed, Verdict::Failed, Verdict::Aborted})
        if (verdict_word(v) == word)
            return v;
    return Verdict::Incomplete;
}

StoredRun row_of(const QSqlQuery& q)
{
    StoredRun r;
    r.id = q.value(0).toLongLong();
    const QTimeZone zone = QTimeZone(q.value(2).toInt());
    r.start.started = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong(), zone);
    if (!q.value(3).isNull())
        r.ended = QDateTime::fromMSecsSinceEpoch(q.value(3).toLongLong(), zone);
    r.start.host = q.value(4).toString();
    r.start.port = q.value(5).toString();
    r.start.station = q.value(6).toInt();
    r.run.station = r.start.station;
    r.start.serial = q.value(7).toString();
    r.start.operator_name = q.value(8).toString();
    r.start.recipe = q.value(9).toString();
    r.start.recipe_sha256 = q.value(10).toString();
    r.start.drive = q.value(11).toString();
    r.verdict = r.ended ? verdict_named(q.value(12).toString()) : Verdict::Incomplete;
    if (!q.value(13).isNull())
        r.run.aborted = q.value(13).toString();
    r.run.recipe_error = q.value(14).toBool();
    r.run.motor_switched_off = q.value(15).toBool();
    r.run.motor_off_sent = q.value(16).toBool();
    r.run.aborted_outside_steps = q.value(17).toBool();
    r.run.time_ms = q.value(18).toLongLong();
    r.first_failed_check = q.value(19).toString();
    if (q.value(20).toBool())
        r.snapshot = Snapshot{};
    return r;
}

}  // namespace

std::optional<QList<StoredRun>> RunFinder::find(const Filter& f)
{
    QString sql = QStringLiteral("SELECT %1 FROM runs WHERE 1 = 1").arg(QLatin1String(kRunColumns));
    QVariantList values;
    if (!f.serial.isEmpty()) {
        sql += QStringLiteral(" AND serial = ?");
        values << f.serial;
    }
    if (!f.recipe.isEmpty()) {
        sql += QStringLiteral(" AND recipe = ?");
        values << f.recipe;
    }
    if (f.failed)
        sql += QStringLiteral(" AND (verdict <> 'PASSED' OR ended_ms IS NULL)");
    if (f.since) {
        sql += QStringLiteral(" AND started_ms >= ?");
        values << f.since->toMSecsSinceEpoch();
    }
    if (f.until) {
        sql += QStringLiteral(" AND started_ms <= ?");
        values << f.until->toMSecsSinceEpoch();
    }
    sql += QStringLiteral(" ORDER BY started_ms DESC, id DESC");
    if (f.limit)
        sql += QStringLiteral(" LIMIT %1").arg(*f.limit);
    QSqlQuery q(store_.db());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        store_.set_error(q.lastError().text());
        return std::nullopt;
    }
    QList<StoredRun> runs;
    while (q.next())
        runs.append(row_of(q));
    return runs;
}

std::optional<StoredRun> RunFinder::load(qint64 id)
{
    store_.set_error({});
    QSqlQuery q(store_.db());
    q.prepare(QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(QLatin1String(kRunColumns)));
    q.bindValue(0, id);
    if (!q.exec()) {
        store_.set_error(q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    StoredRun run = row_of(q);
    if (!load_details(run))
        return std::nullopt;
    return run;
}

bool RunFinder::load_details(StoredRun& r)
{
    const auto select = [&](QSqlQuery& q, const QString& sql) {
        q.setForwardOnly(true);
        q.prepare(sql);
        q.bindValue(0, r.id);
        if (q.exec())
            return true;
        store_.set_error(q.lastError().text());
        return false;
    };
    QSqlQuery q(store_.db());
    if (!select(q, QStringLiteral("SELECT name, passed, time_ms, error FROM steps WHERE run_id = ? ORDER BY seq")))
        return false;
    r.run.steps.clear();
    while (q.next()) {
        recipe::Step s;
        s.name = q.value(0).toString();
        s.passed = q.value(1).toBool();
        s.time_ms = q.value(2).toLongLong();
        s.error = q.value(3).toString();
        r.run.steps.append(s);
    }
    if (!select(q, QStringLiteral("SELECT step_seq, name, value, min_value, max_value, equals_value, passed FROM checks "
                                  "WHERE run_id = ? ORDER BY step_seq, seq")))
        return false;
    while (q.next()) {
        const int step = q.value(0).toInt();
        if (step < 0 || step >= r.run.steps.size())
            continue;
        recipe::Check c;
        c.name = q.value(1).toString();
        c.value = from_json_text(q.value(2));
        if (c.value.isUndefined())
            c.value = QJsonValue::Null;
        c.min = number_or_none(q.value(3));
        c.max = number_or_none(q.value(4));
        c.equals = from_json_text(q.value(5));
        c.passed = q.value(6).toBool();
        r.run.steps[step].checks.append(c);
    }
    if (!select(q, QStringLiteral("SELECT step_seq, text FROM log_lines WHERE run_id = ? ORDER BY seq")))
        return false;
    r.run.log.clear();
    while (q.next()) {
        const QVariant step = q.value(0);
        if (step.isNull() || step.toInt() < 0 || step.toInt() >= r.run.steps.size())
            r.run.log.append(q.value(1).toString());
        else
            r.run.steps[step.toInt()].log.append(q.value(1).toString());
    }
    if (!select(q, QStringLiteral("SELECT entry, value, read_back, taken FROM writes WHERE run_id = ? ORDER BY seq")))
        return false;
    r.run.writes.clear();
    while (q.next())
        r.run.writes.append({q.value(0).toString(), small_or_none(q.value(1)), small_or_none(q.value(2)),
                             q.value(3).toBool()});
    if (!select(q, QStringLiteral("SELECT step_seq, target, samples FROM traces WHERE run_id = ? ORDER BY seq")))
        return false;
    r.run.traces.clear();
    while (q.next()) {
        recipe::TracedMove move;
        move.step = q.value(0).isNull() ? -1 : q.value(0).toInt();
        move.target = q.value(1).toDouble();
        for (const QStringView line : QStringView(q.value(2).toString()).split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype comma = line.indexOf(u',');
            if (comma > 0)
                move.samples.append({line.left(comma).toDouble(), line.mid(comma + 1).toDouble()});
        }
        r.run.traces.append(move);
    }
    if (r.snapshot) {
        if (!select(q, QStringLiteral("SELECT entry, value FROM snapshot WHERE run_id = ? ORDER BY seq")))
            return false;
        r.snapshot->clear();
        while (q.next())
            r.snapshot->append({q.value(0).toString(), small_or_none(q.value(1))});
    }
    return true;
}

}  // namespace mivo::results
