#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

#include <optional>

namespace mivo {

// One reading of a traced move: when its "RV 0" was written, in ms from the
// moment "MA" was (the reading before "MA" has a negative time), and the
// position it brought.
struct TraceSample {
    double time_ms = 0;
    double position = 0;
};

// What a trace says of a move, each figure absent where the trace cannot
// give it (too few readings, a move that never got there).
struct TraceMetrics {
    int samples = 0;
    std::optional<double> rate_hz;      // readings per second over the trace
    std::optional<double> rise_ms;      // from 10 % to 90 % of the distance
    std::optional<double> overshoot;    // counts past the target; 0 when none
    std::optional<double> settling_ms;  // from "MA" to the first reading that stays within the tolerance
    std::optional<double> peak_speed;   // counts/s, the largest average over kSpeedWindowMs

    // The window that peak_speed averages over.
    static constexpr double kSpeedWindowMs = 20;

    // The distance runs from the first reading's position to target.
    static TraceMetrics of(const QList<TraceSample>& samples, double target, double tolerance);

    // The move's document's "trace": the figures, null where absent.
    QJsonObject to_json() const;
};

// "time_ms,position", a row a reading.
QByteArray trace_csv(const QList<TraceSample>& samples);

}  // namespace mivo
