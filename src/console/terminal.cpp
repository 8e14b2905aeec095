#include "console/terminal.h"

#include "console/console_context.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "window/controls.h"
#include "window/transcript_box.h"

#include <QLineEdit>

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
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    const QString sent = c_.ui.tx_command->text();
    if (!c_.sendable_or_tell(sent))
        return;
    c_.exchange.write_text(sent + u'\r');
    c_.exchange.Delay_abs(CommandExchange::kReplyWaitMs);
    const QString received = c_.exchange.read_text();
    c_.ui.tx_response->append(sent + QStringLiteral("\r\n") + received);
    c_.ui.tx_command->clear();
}

void Terminal::clean()
{
    c_.ui.tx_response->setText(QString());
}

}  // namespace mivo
