#pragma once

#include "console/move_trace.h"

#include <QString>

#include <optional>

namespace mivo {

class ConsoleContext;
class DriveOperations;

// The window's "Capture": a traced move from the values the user typed, as
// one operation (the station controls wait, the poll stays off). Only a
// drive whose state word shows the servo on is moved: without it nothing
// would move and the trace would show nothing.
class MoveCapture {
public:
    struct Outcome {
        // The move ran (maybe cut short: its failure says so).
        std::optional<MoveTrace::Traced> trace;
        qint32 target = 0;
        double tolerance = 0;
        // Why nothing was captured, or how the capture ended short, in words.
        QString problem;
    };

    MoveCapture(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    // target: a whole 32-bit position; speed: sent as "VA" first unless
    // empty; tolerance: a number from 0. Text that is none of these sends
    // nothing.
    Outcome capture(const QString& target, const QString& speed, const QString& tolerance);

    // "SVON" in a state word's value line.
    static bool servo_on(const std::optional<QString>& state_line);

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
};

}  // namespace mivo
