// The commands that move the motor or switch it: servo, home, move.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "console/move_trace.h"
#include "console/trace_file.h"

namespace mivo::cli {

using Failure = DriveOperations::Failure;

int servo(Job& job)
{
    const DriveOperations::Result r = job.console.operations().servo(job.inv.servo_on);
    if (const int status = job.status_of(r.failure, QStringLiteral("servo")); status != kSuccess)
        return status;
    if (job.inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("servo"), job.inv.servo_on);
        // Under broadcast it was sent; no drive acknowledges.
        job.document->insert(QStringLiteral("acknowledged"), r.acknowledged);
    }
    return kSuccess;
}

int home(Job& job)
{
    const DriveOperations::Homed h = job.console.operations().home(job.inv.timeout_ms);
    if (h.failure == Failure::NoAnswer) {
        tell(QStringLiteral("home: no prompt from station %1 within %2 s")
                 .arg(job.station)
                 .arg(job.inv.timeout_ms / 1000.0));
        return kNoAnswer;
    }
    if (const int status = job.status_of(h.failure, QStringLiteral("home")); status != kSuccess)
        return status;
    if (job.inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("done"), h.done);
        job.document->insert(QStringLiteral("time_ms"), h.time_ms);
    } else {
        print_out(QStringLiteral("homed in %1 ms\n").arg(h.time_ms));
    }
    return kSuccess;
}

int prepare_move(Job& job)
{
    if (job.inv.trace.isEmpty())
        return kSuccess;
    if (const QString refused = trace_file::refusal(job.inv.trace); !refused.isEmpty()) {
        tell(QStringLiteral("cannot write the trace %1").arg(refused));
        return kBadUsage;
    }
    return kSuccess;
}

namespace {

QString figure(const std::optional<double>& v, const char* unit)
{
    return v ? QStringLiteral("%1 %2").arg(QString::number(*v, 'f', 1), QLatin1String(unit)) : QStringLiteral("-");
}

// The move traced: its file once the move ended as a move does, never half.
int traced_move(Job& job, const DriveOperations::MoveRequest& request)
{
    const Invocation& inv = job.inv;
    const MoveTrace::Traced t = MoveTrace(job.console.context(), job.console.operations()).run(request);
    if (t.speed_refused) {
        tell(QStringLiteral("the drive refused the speed %1").arg(*inv.speed));
        return kDifferences;
    }
    if (const int status = job.status_of(t.failure, QStringLiteral("move")); status != kSuccess)
        return status;
    // The move happened whatever became of the file: its outcome is still
    // told, the file named only when it was written.
    const QString error = trace_file::write(inv.trace, t.samples);
    if (!error.isEmpty())
        tell(QStringLiteral("cannot write the trace %1").arg(error));
    const TraceMetrics& m = t.metrics;
    if (inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("target"), inv.position);
        job.document->insert(QStringLiteral("acknowledged"), t.acknowledged);
        job.document->insert(QStringLiteral("position"), json_or_null(t.position));
        job.document->insert(QStringLiteral("reached"), t.reached);
        job.document->insert(QStringLiteral("time_ms"), t.time_ms);
        QJsonObject trace = m.to_json();
        trace.insert(QStringLiteral("file"), error.isEmpty() ? QJsonValue(inv.trace) : QJsonValue(QJsonValue::Null));
        job.document->insert(QStringLiteral("trace"), trace);
    } else {
        print_out(t.reached ? QStringLiteral("reached %1 in %2 ms\n").arg(number_text(t.position)).arg(t.time_ms)
                            : QStringLiteral("stopped at %1, short of %2, after %3 ms\n")
                                  .arg(number_text(t.position))
                                  .arg(inv.position)
                                  .arg(t.time_ms));
        print_out(QStringLiteral("trace %1: %2 samples at %3, rise %4, overshoot %5, settling %6, peak speed %7\n")
                      .arg(inv.trace)
                      .arg(m.samples)
                      .arg(figure(m.rate_hz, "Hz"), figure(m.rise_ms, "ms"), figure(m.overshoot, "counts"),
                           figure(m.settling_ms, "ms"), figure(m.peak_speed, "counts/s")));
    }
    if (!error.isEmpty())
        return kBadUsage;
    return t.reached ? kSuccess : kDifferences;
}

}  // namespace

int move(Job& job)
{
    const Invocation& inv = job.inv;
    DriveOperations::MoveRequest request;
    request.position = inv.position;
    request.speed = inv.speed;
    request.wait = inv.wait;
    request.tolerance = inv.tolerance;
    request.timeout_ms = inv.timeout_ms;
    if (!inv.trace.isEmpty())
        return traced_move(job, request);
    const DriveOperations::Moved m = job.console.operations().move(request);
    if (m.speed_refused) {
        tell(QStringLiteral("the drive refused the speed %1").arg(*inv.speed));
        return kDifferences;
    }
    if (const int status = job.status_of(m.failure, QStringLiteral("move")); status != kSuccess)
        return status;
    const bool reached = !inv.wait || m.reached;
    if (inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("target"), inv.position);
        job.document->insert(QStringLiteral("acknowledged"), m.acknowledged);
        if (inv.wait) {
            job.document->insert(QStringLiteral("position"), json_or_null(m.position));
            job.document->insert(QStringLiteral("reached"), m.reached);
            job.document->insert(QStringLiteral("time_ms"), m.time_ms);
        }
    } else if (inv.wait) {
        print_out(m.reached ? QStringLiteral("reached %1 in %2 ms\n").arg(number_text(m.position)).arg(m.time_ms)
                            : QStringLiteral("stopped at %1, short of %2, after %3 ms\n")
                                  .arg(number_text(m.position))
                                  .arg(inv.position)
                                  .arg(m.time_ms));
    }
    return reached ? kSuccess : kDifferences;
}

}  // namespace mivo::cli
