#pragma once

#include "recipe/recipe_report.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace mivo::results {

// What is known of a run when it starts: written at once, so that a run cut
// short (a crash, a power cut) is still there, incomplete.
struct RunStart {
    QDateTime started;
    QString host;
    QString port;
    int station = 0;
    QString serial;
    QString operator_name;
    QString recipe;  // the file's name
    QString recipe_sha256;
    QString drive;   // "RV 4"; empty until the station answered
};

// The P and V groups as read at the end of a run: entry name and value
// (none where the drive gave no number).
using Snapshot = QList<std::pair<QString, std::optional<qint16>>>;

// How a run ended, as the store keeps it.
enum class Verdict { Passed, Failed, Aborted, Incomplete };
QString verdict_word(Verdict v);  // PASSED, FAILED, ABORTED, INCOMPLETE
Verdict verdict_of(const recipe::StationRun& run);
// The first check that failed (description), else the first step's error.
QString first_failure(const recipe::StationRun& run);

// A run as the store holds it.
struct StoredRun {
    qint64 id = 0;
    RunStart start;
    std::optional<QDateTime> ended;  // none: incomplete
    Verdict verdict = Verdict::Incomplete;
    QString first_failed_check;
    recipe::StationRun run;  // steps, checks, log, writes, abort
    std::optional<Snapshot> snapshot;
};

// What `results` looks for: every bound that is set narrows it.
struct Filter {
    QString serial;
    QString recipe;
    bool failed = false;  // all but PASSED
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
    std::optional<int> limit;
};

}  // namespace mivo::results
