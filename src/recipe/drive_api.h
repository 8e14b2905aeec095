#pragma once

#include "console/drive_operations.h"
#include "console/settings_file.h"

#include <QJSValue>
#include <QObject>

namespace mivo::recipe {

class RecipeRun;

// The recipe's `drive` global: the drive operations on the run's station.
// A call that fails throws; a bad argument throws a TypeError or a
// RangeError (the recipe's own fault) before anything is sent.
class DriveApi : public QObject {
    Q_OBJECT
    Q_PROPERTY(int station READ station CONSTANT)
public:
    DriveApi(RecipeRun& run, int station) : run_(run), station_(station) {}

    int station() const { return station_; }

    Q_INVOKABLE QJSValue read(const QJSValue& entry);
    Q_INVOKABLE QJSValue write(const QJSValue& entry, const QJSValue& value);
    Q_INVOKABLE QJSValue save();
    Q_INVOKABLE QJSValue status();
    Q_INVOKABLE QJSValue servo(const QJSValue& on);
    Q_INVOKABLE QJSValue home(const QJSValue& options = QJSValue());
    Q_INVOKABLE QJSValue move(const QJSValue& position, const QJSValue& options = QJSValue());
    Q_INVOKABLE QJSValue send(const QJSValue& line);
    Q_INVOKABLE QJSValue compare(const QJSValue& file);
    Q_INVOKABLE QJSValue restore(const QJSValue& file, const QJSValue& options = QJSValue());

private:
    // Each throws and gives the value a throwing call returns.
    QJSValue type_error(const QString& message);
    QJSValue range_error(const QString& message);
    QJSValue error(const QString& message);
    // A failed operation as an exception: "what: no answer from station N".
    QJSValue failed(DriveOperations::Failure failure, const QString& what);
    // An entry name (P0..P15, V0..V6), or -1 after throwing.
    int entry_of(const QJSValue& entry, const QString& call);
    // Seconds from an options object into milliseconds, or nothing after
    // throwing; fallback when not given.
    std::optional<qint32> limit_ms(const QJSValue& options, const QString& call, qint32 fallback);
    // move with trace: the move's object gains the trace's figures, and
    // its CSV goes to the run's artifacts.
    QJSValue traced_move(const DriveOperations::MoveRequest& request);
    // A settings file of the recipe's, or nothing after throwing.
    std::optional<settings_file::Values> settings(const QJSValue& file, const QString& call);

    RecipeRun& run_;
    int station_;
};

}  // namespace mivo::recipe
