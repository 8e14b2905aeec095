#pragma once

#include "results/run_record.h"
#include "results/run_writer.h"

#include <QString>

namespace mivo {
class Console;
}

namespace mivo::results {

class ResultsStore;

// A unit's run as a test station keeps it: its row before anything goes to
// the drive, the rest when it ends, or nothing when its serial number was
// refused. The tool and the window's station mode share it.
class StationRecord {
public:
    explicit StationRecord(ResultsStore& store) : store_(store), writer_(store) {}

    // Empty, or why the run cannot be recorded (it must not start then).
    QString begin(const RunStart& start);
    // The run as it ended: empty, or why it could not be kept.
    QString end(const recipe::StationRun& run, const QString& drive, const std::optional<Snapshot>& snapshot);
    qint64 id() const { return id_; }

    // Why a serial number cannot name a unit (1 to 64 printable
    // characters), else empty.
    static QString serial_refusal(const QString& serial);
    // Who tests, unless named: the login name, else "unknown".
    static QString login_name();
    static QString host_name();
    // The P and V groups as the drive holds them now.
    static Snapshot take_snapshot(Console& console);

private:
    ResultsStore& store_;
    RunWriter writer_;
    qint64 id_ = 0;
};

}  // namespace mivo::results
