#include "console/terminal.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/wire_source.h"

namespace mivo {

void Terminal::key_press(qint16 key_ascii, const QString& line)
{
    // The link test comes first: while the port is closed every key brings
    // the message, and the key still reaches the box afterwards.
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    if (key_ascii == kEnter)
        send(line);
}

void Terminal::send(const QString& line)
{
    const WireSource tag(c_.exchange, QStringLiteral("terminal"));
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    if (!c_.sendable_or_tell(line))
        return;
    const DriveOperations::Sent reply = operations_.send_line(line);
    c_.state.add_terminal_line(line, reply.received);
}

void Terminal::clean()
{
    c_.state.clear_transcript();
}

}  // namespace mivo
