// The commands that move the motor or switch it: servo, home, move.
#include "cli/commands/commands.h"
#include "cli/job.h"

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

int move(Job& job)
{
    const Invocation& inv = job.inv;
    DriveOperations::MoveRequest request;
    request.position = inv.position;
    request.speed = inv.speed;
    request.wait = inv.wait;
    request.tolerance = inv.tolerance;
    request.timeout_ms = inv.timeout_ms;
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
