#include "cli/cli_view.h"

#include "protocol/command_lines.h"

#include <cstdio>

namespace mivo::cli {

namespace {
void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}
}  // namespace

void print_out(const QString& text)
{
    print(stdout, text);
}

void print_err(const QString& text)
{
    print(stderr, text);
}

void CliView::show_message(const QString& text)
{
    print_err(text + u'\n');
}

bool CliView::ask(const QString& question)
{
    // Nobody is there to answer: the command line has said it beforehand.
    print_err(question + (answer ? QStringLiteral(" yes (--save)\n") : QStringLiteral(" no (no --save)\n")));
    return answer;
}

void CliView::poll_reply(qint16 RV_Group_num, const std::optional<QString>& value_line)
{
    if (RV_Group_num == protocol::kValueVersion)
        drive_version = value_line;
}

}  // namespace mivo::cli
