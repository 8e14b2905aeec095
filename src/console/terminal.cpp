#include "console/terminal.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/wire_source.h"

namespace mivo {

void Terminal::key_press(qint16 key_ascii)
{
    // The link test comes first: while the port is closed every key brings
    // the message, and the key still reaches the box afterwards.
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    if (key_ascii == kEnter)
        send();
}

void Terminal::send()
{
    const WireSource tag(c_.exchange, QStringLiteral("terminal"));
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    const QString sent = c_.view().command_text();
    if (!c_.sendable_or_tell(sent))
        return;
    c_.exchange.write_text(sent + u'\r');
    c_.exchange.Delay_abs(CommandExchange::kReplyWaitMs);
    const QString received = c_.exchange.read_text();
    c_.view().append_transcript(sent + QStringLiteral("\r\n") + received);
    c_.view().clear_command();
}

void Terminal::clean()
{
    c_.view().clear_transcript();
}

}  // namespace mivo
