#include "console/move_trace.h"

#include "console/console_context.h"
#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "console/recorder.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>

namespace mivo {

namespace {

// Every line of the trace ends the moment its prompt comes: a fixed wait
// would cut the rate to one reading a reply wait.
class PromptDriven {
public:
    explicit PromptDriven(CommandExchange& exchange) : exchange_(exchange), was_(exchange.is_fast())
    {
        exchange_.set_fast(true);
    }
    ~PromptDriven() { exchange_.set_fast(was_); }
    PromptDriven(const PromptDriven&) = delete;
    PromptDriven& operator=(const PromptDriven&) = delete;

private:
    CommandExchange& exchange_;
    bool was_;
};

}  // namespace

MoveTrace::Traced MoveTrace::run(const DriveOperations::MoveRequest& request)
{
    const WireSource tag(c_.exchange, QStringLiteral("motion"));
    LinkGuard link = c_.hold_link();
    const PollGate::Hold off(c_.poll, link, PollGate::After::Resume);
    const PromptDriven fast(c_.exchange);
    const auto link_failure = [&] {
        return c_.exchange.is_stopped() ? DriveOperations::Failure::Interrupted : DriveOperations::Failure::LinkLost;
    };

    QElapsedTimer clock;
    clock.start();
    qint64 move_written_ns = 0;
    std::optional<TraceSample> before;
    DriveOperations::MoveRequest move = request;
    move.wait = false;
    const auto read_before = [&] {
        const qint64 written = clock.nsecsElapsed();
        const auto read = operations_.read_live_value(protocol::kValuePosition);
        move_written_ns = clock.nsecsElapsed();
        if (const auto p = Recorder::position_of(read.value_line))
            before = TraceSample{double(written - move_written_ns) / 1e6, *p};
    };
    Traced t;
    static_cast<DriveOperations::Moved&>(t) = operations_.move(move, read_before);
    if (!t.ok())
        return t;
    if (before)
        t.samples << *before;

    const auto since_move = [&] { return double(clock.nsecsElapsed() - move_written_ns) / 1e6; };
    bool within_run = false;
    double within_since = 0;             // the first reading of that run within the tolerance
    double still_since = 0;              // the first reading at the present position
    for (;;) {
        const double written = since_move();
        const auto read = operations_.read_live_value(protocol::kValuePosition);
        const double now = since_move();
        t.time_ms = qint64(now);
        if (!link.up()) {
            t.failure = link_failure();
            break;
        }
        if (const auto p = Recorder::position_of(read.value_line)) {
            t.samples << TraceSample{written, *p};
            if (t.position != p)
                still_since = written;
            t.position = p;
            const bool within = std::abs(*p - request.position) <= request.tolerance;
            if (within && !within_run)
                within_since = written;
            within_run = within;
            if (within && written - within_since > kSettledMs)
                break;
            if (!within && written - still_since > DriveOperations::kStallMs)
                break;
        }
        if (now > request.timeout_ms)
            break;
        // The prompt-driven reads take no events; between them the window
        // stays responsive (its controls wait, a "Close" ends the trace).
        QCoreApplication::processEvents();
    }
    t.reached = t.position && std::abs(*t.position - request.position) <= request.tolerance;
    if (t.ok() && !t.position)
        t.failure = DriveOperations::Failure::NoAnswer;
    t.metrics = TraceMetrics::of(t.samples, request.position, request.tolerance);
    return t;
}

}  // namespace mivo
