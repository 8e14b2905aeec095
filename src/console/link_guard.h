#pragma once

#include "link/command_exchange.h"

#include <QString>
#include <QtGlobal>

namespace mivo {

class ConsoleContext;

// The link a handler started on. Waits that process events let other
// handlers run, a "Close" (and a new "Open") or a lost port among them; after
// such a wait the handler must neither write to a link it did not start on
// nor claim that anything went through. Every exchange made through the
// guard records the line it sent in the form-level variables, and once the
// link is gone is refused: nothing is written, read or recorded, and no time
// passes.
class LinkGuard {
public:
    explicit LinkGuard(ConsoleContext& context);
    // Counted in ConsoleContext::link_holders() while it lives.
    LinkGuard(const LinkGuard& other);
    LinkGuard& operator=(const LinkGuard&) = delete;
    ~LinkGuard();

    // The link this handler started on is still open.
    bool up() const;

    CommandExchange::Sent send_mivo_command(const QString& command);
    // The reply; an empty one once the link is gone.
    CommandExchange::Reply get_mivo_response(const QString& command, const QString& replace_target);
    // Writes check_command and a CR and tells whether the prompt came back.
    // last_command is emptied before check_command is read, so handing in
    // last_command itself sends a CR alone.
    bool Check_MIVO_response(const QString& check_command);
    void Delay(qint32 msecond);
    // What was thrown away.
    QString empty_receive_buffer();

private:
    ConsoleContext& c_;
    quint64 session_;
};

}  // namespace mivo
