#include "console/operation_scope.h"

#include "console/console_context.h"

namespace mivo {

OperationScope::OperationScope(ConsoleContext& c, const QString& source)
    : c_(c), tag_(c.exchange, source), link(c.hold_link()), poll_(c.poll, link, PollGate::After::On)
{
    c_.report([](Availability& a) { a.drive_operation_started(); });
}

OperationScope::~OperationScope()
{
    c_.report([](Availability& a) { a.drive_operation_ended(); });
}

}  // namespace mivo
