#pragma once

#include "console/drive_operations.h"
#include "console/trace_metrics.h"

#include <QList>

namespace mivo {

class ConsoleContext;

// A move with its trace: from "MA" on the position is read back to back,
// each reading taken the moment its prompt comes (the prompt-driven
// exchange, whatever the exchange was set to), until the drive has settled
// within the tolerance, stood still short of the target, or the time is up.
// The first reading is the one just before "MA". The poll stays off
// meanwhile.
class MoveTrace {
public:
    // Within the tolerance this long counts as settled.
    static constexpr double kSettledMs = 100;

    struct Traced : DriveOperations::Moved {
        QList<TraceSample> samples;
        TraceMetrics metrics;
    };

    MoveTrace(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    // request.wait is implied; its tolerance and time limit end the trace.
    Traced run(const DriveOperations::MoveRequest& request);

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
};

}  // namespace mivo
