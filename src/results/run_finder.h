#pragma once

#include "results/run_record.h"

#include <QList>
#include <optional>

namespace mivo::results {

class ResultsStore;

// Finds runs in an open store again.
class RunFinder {
public:
    explicit RunFinder(ResultsStore& store) : store_(store) {}

    // Newest first by start; each run's row only (no steps): enough for a
    // list. Nothing on an error (the store's error() says it).
    std::optional<QList<StoredRun>> find(const Filter& filter);
    // One run whole. Nothing: no such run, or an error (error() not empty).
    std::optional<StoredRun> load(qint64 id);
    // The steps, checks, log, writes and snapshot of a run from find().
    bool load_details(StoredRun& run);

private:
    ResultsStore& store_;
};

}  // namespace mivo::results
