#pragma once

#include "results/run_record.h"

#include <QString>

namespace mivo::results {

class ResultsStore;

// Writes runs into an open store: a run's row when it starts, marked
// incomplete, and all the rest in one transaction when it ends.
class RunWriter {
public:
    explicit RunWriter(ResultsStore& store) : store_(store) {}

    // The run's id, or 0 (the store's error() says why).
    qint64 begin(const RunStart& start);
    // The run as it ended: its row, steps, checks, writes, log and snapshot
    // all at once, or nothing. drive: the version the station gave.
    bool complete(qint64 id, const recipe::StationRun& run, const QString& drive, const std::optional<Snapshot>& snapshot,
                  const QDateTime& ended);
    // A run that was refused before it began (a serial number its recipe
    // does not take) leaves nothing behind.
    bool discard(qint64 id);

private:
    bool write_children(qint64 id, const recipe::StationRun& run, const std::optional<Snapshot>& snapshot);

    ResultsStore& store_;
};

}  // namespace mivo::results
