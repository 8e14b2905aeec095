#include "results/results_store.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>

namespace mivo::results {

namespace {

// How long a writer waits for another's transaction before it gives up.
constexpr int kBusyTimeoutMs = 30'000;

// Any number of stores per process, each on a connection of its own.
QString next_connection_name()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("mivo_results_%1").arg(counter.fetchAndAddRelaxed(1));
}

QString sql_error(const QSqlError& e)
{
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return text.trimmed().isEmpty() ? QStringLiteral("unknown database error") : text.trimmed();
}

// Version 1 of the schema; id's type is the one thing the two dialects
// spell differently.
QStringList schema_v1(bool postgres)
{
    const QString id = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString real = postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    return {
        QStringLiteral("CREATE TABLE mivo_schema (version INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE runs (id %1, started_ms BIGINT NOT NULL, utc_offset_s INTEGER NOT NULL, "
                       "ended_ms BIGINT, host TEXT NOT NULL, port TEXT NOT NULL, station INTEGER NOT NULL, "
                       "serial TEXT NOT NULL, operator TEXT NOT NULL, recipe TEXT NOT NULL, "
                       "recipe_sha256 TEXT NOT NULL, drive TEXT NOT NULL, verdict TEXT NOT NULL, aborted TEXT, "
                       "recipe_error INTEGER NOT NULL DEFAULT 0, "
                       "motor_switched_off INTEGER NOT NULL DEFAULT 0, motor_off_sent INTEGER NOT NULL DEFAULT 0, "
                       "aborted_outside_steps INTEGER NOT NULL DEFAULT 0, time_ms BIGINT NOT NULL DEFAULT 0, "
                       "first_failed_check TEXT NOT NULL DEFAULT '', snapshot_taken INTEGER NOT NULL DEFAULT 0)")
            .arg(id),
        QStringLiteral("CREATE INDEX runs_serial ON runs (serial)"),
        QStringLiteral("CREATE INDEX runs_started ON runs (started_ms)"),
        QStringLiteral("CREATE TABLE steps (run_id BIGINT NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL, "
                       "passed INTEGER NOT NULL, time_ms BIGINT NOT NULL, error TEXT NOT NULL, "
                       "PRIMARY KEY (run_id, seq))"),
        QStringLiteral("CREATE TABLE checks (run_id BIGINT NOT NULL, step_seq INTEGER NOT NULL, seq INTEGER NOT NULL, "
                       "name TEXT NOT NULL, value TEXT NOT NULL, min_value %1, max_value %1, equals_value TEXT, "
                       "passed INTEGER NOT NULL, PRIMARY KEY (run_id, step_seq, seq))")
            .arg(real),
        QStringLiteral("CREATE TABLE writes (run_id BIGINT NOT NULL, seq INTEGER NOT NULL, entry TEXT NOT NULL, "
                       "value INTEGER, read_back INTEGER, taken INTEGER NOT NULL, PRIMARY KEY (run_id, seq))"),
        QStringLiteral("CREATE TABLE log_lines (run_id BIGINT NOT NULL, seq INTEGER NOT NULL, step_seq INTEGER, "
                       "text TEXT NOT NULL, PRIMARY KEY (run_id, seq))"),
        QStringLiteral("CREATE TABLE snapshot (run_id BIGINT NOT NULL, seq INTEGER NOT NULL, entry TEXT NOT NULL, "
                       "value INTEGER, PRIMARY KEY (run_id, seq))"),
        QStringLiteral("CREATE TABLE traces (run_id BIGINT NOT NULL, seq INTEGER NOT NULL, step_seq INTEGER, "
                       "target %1 NOT NULL, samples TEXT NOT NULL, PRIMARY KEY (run_id, seq))")
            .arg(real),
        QStringLiteral("INSERT INTO mivo_schema (version) VALUES (1)"),
    };
}

// What brings a store from version N to N + 1, in order; the first makes
// it from nothing.
QList<QStringList> upgrades(bool postgres)
{
    return {schema_v1(postgres)};
}

}  // namespace

ResultsStore::ResultsStore() : connection_(next_connection_name()) {}

ResultsStore::~ResultsStore()
{
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    if (QSqlDatabase::contains(connection_))
        QSqlDatabase::removeDatabase(connection_);
}

QString ResultsStore::open(const QString& address, Use use)
{
    address_ = address;
    postgres_ = address.startsWith(QStringLiteral("postgresql://"));
    const QString error = postgres_ ? open_postgres(address) : open_sqlite(address, use);
    if (!error.isEmpty())
        return error;
    if (const QString refused = prepare_schema(use); !refused.isEmpty()) {
        db_.close();
        return refused;
    }
    return {};
}

QString ResultsStore::open_sqlite(const QString& path, Use use)
{
    if (path.isEmpty())
        return QStringLiteral("no store named");
    const QFileInfo file(path);
    if (use == Use::Read && !file.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    if (file.exists() && !file.isFile())
        return QStringLiteral("%1 is not a file").arg(path);
    if (use == Use::Record && !QDir().mkpath(file.absolutePath()))
        return QStringLiteral("cannot make the folder %1").arg(file.absolutePath());
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(path);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs)
                          + (use == Use::Read ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db_.open())
        return sql_error(db_.lastError());
    if (use == Use::Record) {
        // Readers never block the writer and the writers queue; FULL makes
        // each commit durable, so that a run's start outlives a power cut.
        if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !exec(QStringLiteral("PRAGMA synchronous=FULL")))
            return error_;
    }
    return {};
}

QString ResultsStore::open_postgres(const QString& address)
{
    // postgresql://[USER@]HOST[:PORT]/DB, and nothing else: a password in the
    // address would end up in shell histories and process lists.
    static const QRegularExpression form(
        QStringLiteral("^postgresql://(?:([^@/:]+)@)?(\\[[^\\]]+\\]|[^@/:\\[\\]]+)(?::([0-9]{1,5}))?/([^/?#]+)$"));
    const QRegularExpressionMatch m = form.match(address);
    if (!m.hasMatch())
        return QStringLiteral("%1: a PostgreSQL store is postgresql://[USER@]HOST[:PORT]/DB").arg(address);
    QString host = m.captured(2);
    if (host.startsWith(u'['))
        host = host.mid(1, host.size() - 2);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_);
    if (!db_.isValid())
        return QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed");
    db_.setHostName(QUrl::fromPercentEncoding(host.toUtf8()));
    if (!m.captured(3).isEmpty())
        db_.setPort(m.captured(3).toInt());
    db_.setDatabaseName(QUrl::fromPercentEncoding(m.captured(4).toUtf8()));
    // No user: libpq's own choice (PGUSER, else the login name). No
    // password: libpq takes PGPASSWORD or ~/.pgpass.
    if (!m.captured(1).isEmpty())
        db_.setUserName(QUrl::fromPercentEncoding(m.captured(1).toUtf8()));
    db_.setConnectOptions(QStringLiteral("connect_timeout=10"));
    if (!db_.open())
        return sql_error(db_.lastError());
    return {};
}

bool ResultsStore::exec(const QString& statement)
{
    QSqlQuery q(db_);
    if (q.exec(statement))
        return true;
    error_ = sql_error(q.lastError());
    return false;
}

bool ResultsStore::begin()
{
    return exec(postgres_ ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
}

bool ResultsStore::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void ResultsStore::rollback()
{
    QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
}

int ResultsStore::stored_version()
{
    if (!db_.tables().contains(QStringLiteral("mivo_schema")))
        return 0;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM mivo_schema")) || !q.next()) {
        error_ = sql_error(q.lastError());
        return -1;
    }
    return q.value(0).toInt();
}

QString ResultsStore::prepare_schema(Use use)
{
    const QString where = address_;
    const auto refusal = [&](int version) {
        return QStringLiteral("%1 holds results of schema version %2, newer than this program's %3: "
                              "use a newer mivo-cli")
            .arg(where)
            .arg(version)
            .arg(kSchemaVersion);
    };
    int version = stored_version();
    if (version < 0)
        return error_;
    if (version > kSchemaVersion)
        return refusal(version);
    if (use == Use::Read) {
        if (version == 0)
            return QStringLiteral("%1 holds no test results").arg(where);
        // An older store is read once it was upgraded by a run.
        if (version < kSchemaVersion)
            return QStringLiteral("%1 holds results of schema version %2: record a run to upgrade it")
                .arg(where)
                .arg(version);
        return {};
    }
    // A run the store could not record is refused before anything goes to
    // the drive.
    if (!begin())
        return error_;
    // Those who found no store at once queue here; the first makes it, the
    // others find it made.
    if (postgres_ && !exec(QStringLiteral("SELECT pg_advisory_xact_lock(4242005)"))) {
        rollback();
        return error_;
    }
    version = stored_version();
    if (version < 0 || version > kSchemaVersion) {
        rollback();
        return version < 0 ? error_ : refusal(version);
    }
    const QList<QStringList> steps = upgrades(postgres_);
    for (int v = version; v < kSchemaVersion; ++v) {
        for (const QString& statement : steps[v]) {
            if (!exec(statement)) {
                rollback();
                return error_;
            }
        }
    }
    // Written also when it stays: a store that cannot take this write
    // cannot take a run either (SQLite opens a read-only file without a word).
    if (!exec(QStringLiteral("UPDATE mivo_schema SET version = %1").arg(kSchemaVersion))) {
        rollback();
        return error_;
    }
    if (!commit())
        return error_;
    return {};
}

}  // namespace mivo::results
