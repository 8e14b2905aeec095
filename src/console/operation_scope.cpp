#include "console/operation_scope.h"

#include "console/console_context.h"

namespace mivo {

OperationScope::OperationScope(ConsoleContext& c, const QString& source)
    : c_(c), tag_(c.exchange, source), link(c.hold_link())
{
    c_.report([](Availability& a) { a.drive_operation_started(); });
    c_.Timer1.stop();
    ++c_.poll_holds;
}

OperationScope::~OperationScope()
{
    --c_.poll_holds;
    link.start_timer1();
    c_.report([](Availability& a) { a.drive_operation_ended(); });
}

}  // namespace mivo
