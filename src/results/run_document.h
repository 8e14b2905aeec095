#pragma once

#include "results/run_record.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace mivo::results {

// A stored run in the forms `results` prints and the reports take.

// ISO 8601 with the offset the run was recorded under.
QString time_text(const QDateTime& t);
// {"id", "started", "ended", ..., "steps", "writes", "log", "snapshot"}.
QJsonObject run_json(const StoredRun& run);
// One line: start, serial, station, recipe, verdict, the first failed check.
QString run_line(const StoredRun& run);
QString csv_header();
QString csv_row(const StoredRun& run);
// A bound of a search by time: an ISO 8601 date or date-time, local time
// unless it names its offset, inclusive (until takes the whole day, or the
// whole minute or second given). Nothing when it is not one.
std::optional<QDateTime> time_bound(const QString& text, bool until);
// The run's JUnit report, as `run --junit` would have written it.
QByteArray run_junit(const StoredRun& run);

}  // namespace mivo::results
