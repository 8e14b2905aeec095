#include "cli/cli_view.h"

#include "protocol/command_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mivo::cli {

namespace {
QString stdout_failure;

// Whether every byte went out.
bool print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) == std::size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}
}  // namespace

void print_out(const QString& text)
{
    if (!print(stdout, text) && stdout_failure.isEmpty())
        stdout_failure = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
}

QString standard_output_failure()
{
    return stdout_failure;
}

void print_err(const QString& text)
{
    print(stderr, text);
}

void CliView::show_message(const QString& text)
{
    print_err(text + u'\n');
}

}  // namespace mivo::cli
