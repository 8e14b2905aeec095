#include "results/run_writer.h"

#include "results/results_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace mivo::results {

namespace {

QVariant or_null(const std::optional<qint16>& v)
{
    return v ? QVariant(int(*v)) : QVariant(QMetaType(QMetaType::Int));
}

QVariant or_null(const std::optional<double>& v)
{
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

// A check's value or "equals" as JSON text: a number, a text, a truth value
// or null, told apart when read back.
QString json_text(const QJsonValue& v)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

// Texts are never NULL in the store: an empty one is "".
QString text(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

// A trace's readings as the CSV a traced move writes, without its header.
QString samples_text(const QList<QPointF>& samples)
{
    QString out;
    out.reserve(samples.size() * 16);
    for (const QPointF& s : samples)
        out += QStringLiteral("%1,%2\n").arg(s.x(), 0, 'f', 1).arg(s.y(), 0, 'g', 12);
    return out;
}

// Why the run did not go to its end: a failed step that stopped it counts.
QVariant abort_reason(const recipe::StationRun& run)
{
    if (run.aborted)
        return *run.aborted;
    if (run.ended_at_failure && !run.steps.isEmpty())
        return QStringLiteral("the step \"%1\" failed and test.stop_on_failure is set").arg(run.steps.last().name);
    return QVariant(QMetaType(QMetaType::QString));
}

// A statement prepared once and run for each row.
class Rows {
public:
    Rows(ResultsStore& store, const QString& statement) : store_(store), q_(store.db())
    {
        ok_ = q_.prepare(statement);
        if (!ok_)
            store_.set_error(q_.lastError().text());
    }
    bool add(const QVariantList& values)
    {
        if (!ok_)
            return false;
        for (int i = 0; i < values.size(); ++i)
            q_.bindValue(i, values[i]);
        ok_ = q_.exec();
        if (!ok_)
            store_.set_error(q_.lastError().text());
        return ok_;
    }

private:
    ResultsStore& store_;
    QSqlQuery q_;
    bool ok_ = false;
};

}  // namespace

qint64 RunWriter::begin(const RunStart& s)
{
    if (!store_.begin())
        return 0;
    QSqlQuery q(store_.db());
    q.prepare(QStringLiteral("INSERT INTO runs (started_ms, utc_offset_s, host, port, station, serial, operator, "
                             "recipe, recipe_sha256, drive, verdict) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                             "RETURNING id"));
    const QVariantList values{s.started.toMSecsSinceEpoch(), s.started.offsetFromUtc(), text(s.host), text(s.port),
                              s.station, text(s.serial), text(s.operator_name), text(s.recipe),
                              text(s.recipe_sha256), text(s.drive), verdict_word(Verdict::Incomplete)};
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec() || !q.next()) {
        store_.set_error(q.lastError().text());
        store_.rollback();
        return 0;
    }
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    return store_.commit() ? id : 0;
}

bool RunWriter::complete(qint64 id, const recipe::StationRun& run, const QString& drive,
                         const std::optional<Snapshot>& snapshot, const QDateTime& ended)
{
    if (!store_.begin())
        return false;
    QSqlQuery q(store_.db());
    q.prepare(QStringLiteral("UPDATE runs SET ended_ms = ?, drive = ?, verdict = ?, aborted = ?, recipe_error = ?, "
                             "motor_switched_off = ?, motor_off_sent = ?, aborted_outside_steps = ?, time_ms = ?, "
                             "first_failed_check = ?, snapshot_taken = ? WHERE id = ? AND ended_ms IS NULL"));
    const QVariantList values{ended.toMSecsSinceEpoch(),
                              text(drive),
                              verdict_word(verdict_of(run)),
                              abort_reason(run),
                              int(run.recipe_error),
                              int(run.motor_switched_off),
                              int(run.motor_off_sent),
                              int(run.aborted_outside_steps),
                              run.time_ms,
                              text(first_failure(run)),
                              int(snapshot.has_value()),
                              id};
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec() || q.numRowsAffected() != 1) {
        store_.set_error(q.lastError().isValid() ? q.lastError().text()
                                                 : QStringLiteral("run %1 is not in the store, or already complete").arg(id));
        store_.rollback();
        return false;
    }
    q.finish();
    if (!write_children(id, run, snapshot)) {
        store_.rollback();
        return false;
    }
    return store_.commit();
}

bool RunWriter::write_children(qint64 id, const recipe::StationRun& run, const std::optional<Snapshot>& snapshot)
{
    Rows steps(store_, QStringLiteral("INSERT INTO steps (run_id, seq, name, passed, time_ms, error) "
                                      "VALUES (?, ?, ?, ?, ?, ?)"));
    Rows checks(store_, QStringLiteral("INSERT INTO checks (run_id, step_seq, seq, name, value, min_value, max_value, "
                                       "equals_value, passed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    Rows log(store_, QStringLiteral("INSERT INTO log_lines (run_id, seq, step_seq, text) VALUES (?, ?, ?, ?)"));
    int log_seq = 0;
    for (int s = 0; s < run.steps.size(); ++s) {
        const recipe::Step& step = run.steps[s];
        if (!steps.add({id, s, text(step.name), int(step.passed), step.time_ms, text(step.error)}))
            return false;
        for (int c = 0; c < step.checks.size(); ++c) {
            const recipe::Check& k = step.checks[c];
            const QVariant equals = k.equals.isUndefined() ? QVariant(QMetaType(QMetaType::QString))
                                                           : QVariant(json_text(k.equals));
            if (!checks.add({id, s, c, text(k.name), json_text(k.value), or_null(k.min), or_null(k.max), equals,
                             int(k.passed)}))
                return false;
        }
        for (const QString& line : step.log)
            if (!log.add({id, log_seq++, s, text(line)}))
                return false;
    }
    for (const QString& line : run.log)
        if (!log.add({id, log_seq++, QVariant(QMetaType(QMetaType::Int)), text(line)}))
            return false;
    Rows writes(store_, QStringLiteral("INSERT INTO writes (run_id, seq, entry, value, read_back, taken) "
                                       "VALUES (?, ?, ?, ?, ?, ?)"));
    for (int w = 0; w < run.writes.size(); ++w) {
        const recipe::Write& write = run.writes[w];
        if (!writes.add({id, w, text(write.entry), or_null(write.value), or_null(write.read_back), int(write.taken)}))
            return false;
    }
    Rows traces(store_, QStringLiteral("INSERT INTO traces (run_id, seq, step_seq, target, samples) VALUES (?, ?, ?, ?, ?)"));
    for (int t = 0; t < run.traces.size(); ++t) {
        const recipe::TracedMove& move = run.traces[t];
        const QVariant step = move.step >= 0 ? QVariant(move.step) : QVariant(QMetaType(QMetaType::Int));
        if (!traces.add({id, t, step, move.target, samples_text(move.samples)}))
            return false;
    }
    if (snapshot) {
        Rows entries(store_, QStringLiteral("INSERT INTO snapshot (run_id, seq, entry, value) VALUES (?, ?, ?, ?)"));
        for (int e = 0; e < snapshot->size(); ++e)
            if (!entries.add({id, e, text(snapshot->at(e).first), or_null(snapshot->at(e).second)}))
                return false;
    }
    return true;
}

bool RunWriter::discard(qint64 id)
{
    if (!store_.begin())
        return false;
    QSqlQuery q(store_.db());
    q.prepare(QStringLiteral("DELETE FROM runs WHERE id = ?"));
    q.bindValue(0, id);
    if (!q.exec()) {
        store_.set_error(q.lastError().text());
        store_.rollback();
        return false;
    }
    q.finish();
    return store_.commit();
}

}  // namespace mivo::results
