#include "console/terminal.h"

#include "console/console_context.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "window/controls.h"
#include "window/transcript_box.h"

#include <QLineEdit>

namespace mivo {

void Terminal::key_press(qint16 key_ascii)
{
    // The link test comes first: while the port is closed every key brings
    // the message, and the key still reaches the box afterwards.
    if (c_.vars.is_linked != kTrue) {
        c_.show_message(QStringLiteral("Link First!"));
        return;
    }
    if (key_ascii == kEnter)
        send();
}

void Terminal::send()
{
    if (c_.vars.is_linked != kTrue) {
        c_.show_message(QStringLiteral("Link First!"));
        return;
    }
    const QString sent = c_.ui.tx_command->text();
    // Such a character would go out as some other byte than the one shown.
    if (const qsizetype bad = protocol::first_unsendable(sent); bad >= 0) {
        const qsizetype width = sent[bad].isHighSurrogate() ? 2 : 1;
        c_.show_message(QStringLiteral("\"%1\" cannot be sent: a command line takes Latin-1 characters only.")
                            .arg(sent.mid(bad, width)));
        return;
    }
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
