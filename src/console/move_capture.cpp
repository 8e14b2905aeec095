#include "console/move_capture.h"

#include "console/console_context.h"
#include "console/drive_operations.h"
#include "console/operation_scope.h"
#include "console/recorder.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <cmath>

namespace mivo {

namespace {

// Acknowledged writes for the capture's own lines: a speed the drive
// refuses must stop it before "MA", and the window's way goes on after.
class AcknowledgedWrites {
public:
    explicit AcknowledgedWrites(DriveOperations& operations)
        : operations_(operations), was_(operations.write_replies())
    {
        operations_.set_write_replies(true);
    }
    ~AcknowledgedWrites() { operations_.set_write_replies(was_); }
    AcknowledgedWrites(const AcknowledgedWrites&) = delete;
    AcknowledgedWrites& operator=(const AcknowledgedWrites&) = delete;

private:
    DriveOperations& operations_;
    bool was_;
};

QString failure_text(DriveOperations::Failure failure, int station)
{
    switch (failure) {
    case DriveOperations::Failure::None: return {};
    case DriveOperations::Failure::NoAnswer: return QStringLiteral("Station %1 did not answer.").arg(station);
    case DriveOperations::Failure::LinkLost: return QStringLiteral("The line was closed during the capture.");
    case DriveOperations::Failure::Refused: return QStringLiteral("The drive refused the move.");
    case DriveOperations::Failure::Interrupted: return QStringLiteral("The capture was stopped.");
    }
    return {};
}

}  // namespace

bool MoveCapture::servo_on(const std::optional<QString>& state_line)
{
    const std::optional<quint32> state = Recorder::state_of(state_line);
    return state && (*state & (1u << 2));
}

MoveCapture::Outcome MoveCapture::capture(const QString& target, const QString& speed, const QString& tolerance)
{
    Outcome out;
    const std::optional<qint32> position = protocol::to_int32(target);
    if (!position || target.trimmed().isEmpty()) {
        out.problem = QStringLiteral("\"Target\" takes a whole 32-bit position, not \"%1\".").arg(target);
        return out;
    }
    const std::optional<double> within = tolerance.trimmed().isEmpty() ? 0.0 : protocol::parse_decimal(tolerance);
    if (!within || !std::isfinite(*within) || *within < 0) {
        out.problem = QStringLiteral("\"Tolerance\" takes a number from 0, not \"%1\".").arg(tolerance);
        return out;
    }
    if (!protocol::unsendable_character(speed).isEmpty()) {
        out.problem = QStringLiteral("\"Speed\" holds a character that cannot be sent: %1.")
                          .arg(protocol::unsendable_character(speed));
        return out;
    }
    out.target = *position;
    out.tolerance = *within;
    if (!c_.hold_link().up()) {
        out.problem = QStringLiteral("Link first!");
        return out;
    }
    // Under broadcast no drive answers: there is nothing to trace.
    if (c_.broadcast()) {
        out.problem = QStringLiteral("A capture needs one station, not all of them (32).");
        return out;
    }

    const OperationScope scope(c_, QStringLiteral("motion"));
    const int station = c_.vars.station_num;
    const DriveOperations::LiveValue state = operations_.read_live_value(protocol::kValueState);
    if (!state.ok()) {
        out.problem = failure_text(state.failure, station);
        return out;
    }
    if (!servo_on(state.value_line)) {
        out.problem = QStringLiteral("The servo of station %1 is off: switch it on (\"Servo ON\") first.").arg(station);
        return out;
    }
    DriveOperations::MoveRequest request;
    request.position = *position;
    if (!speed.trimmed().isEmpty())
        request.speed = speed;
    request.wait = true;
    request.tolerance = *within;
    const AcknowledgedWrites acknowledged(operations_);
    out.trace = MoveTrace(c_, operations_).run(request);
    if (out.trace->speed_refused)
        out.problem = QStringLiteral("The drive refused the speed %1.").arg(speed);
    else if (!out.trace->ok())
        out.problem = failure_text(out.trace->failure, station);
    return out;
}

}  // namespace mivo
