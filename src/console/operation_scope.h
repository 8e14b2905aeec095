#pragma once

#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "console/wire_source.h"

#include <QString>

namespace mivo {

class ConsoleContext;

// One user action made of several lines or operations (a backup, a
// restore, a test recipe), for as long as it runs: the station controls and
// the other drive operations wait, and the poll is held off, also through
// the operations inside, whose own holds end before this one. At the end it
// goes on unless the link went away.
class OperationScope {
public:
    OperationScope(ConsoleContext& c, const QString& source);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    ConsoleContext& c_;
    WireSource tag_;

public:
    LinkGuard link;

private:
    PollGate::Hold poll_;
};

}  // namespace mivo
