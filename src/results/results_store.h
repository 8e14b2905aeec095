#pragma once

#include <QSqlDatabase>
#include <QString>

namespace mivo::results {

// The store of test runs: a SQLite file, or a PostgreSQL database named as
// postgresql://[USER@]HOST[:PORT]/DB (its password as libpq finds it, from
// PGPASSWORD or ~/.pgpass), both through Qt SQL with one schema whose
// version the store keeps. Several processes may use one store at once.
class ResultsStore {
public:
    static constexpr int kSchemaVersion = 1;
    enum class Use { Record, Read };

    ResultsStore();
    ~ResultsStore();
    ResultsStore(const ResultsStore&) = delete;
    ResultsStore& operator=(const ResultsStore&) = delete;

    // Opens the store. Record: a missing SQLite file is made with its
    // folders, the schema made or brought up to date, and the store must
    // take writes. Read: the store must exist and hold the schema. Empty,
    // or why not.
    QString open(const QString& address, Use use);
    bool is_open() const { return db_.isOpen(); }
    const QString& address() const { return address_; }
    bool postgres() const { return postgres_; }
    QSqlDatabase& db() { return db_; }

    // One transaction that writes: SQLite takes its write lock at the start,
    // so that two writers queue behind the busy timeout instead of failing.
    bool begin();
    bool commit();
    void rollback();
    // The last error of the connection or of a statement, in words.
    QString error() const { return error_; }
    void set_error(const QString& what) { error_ = what; }

private:
    QString open_sqlite(const QString& path, Use use);
    QString open_postgres(const QString& address);
    // Makes or upgrades the schema in one transaction; refuses a newer one.
    QString prepare_schema(Use use);
    int stored_version();
    bool exec(const QString& statement);

    QString connection_;
    QSqlDatabase db_;
    QString address_;
    QString error_;
    bool postgres_ = false;
};

}  // namespace mivo::results
