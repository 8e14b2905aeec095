// mivo-cli: the console's logic for shells and scripts, on Qt Core alone.
#include "cli/command_line.h"
#include "cli/commands/results_command.h"
#include "cli/interruption.h"
#include "cli/session.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    // Output that cannot be written (a closed pipe too) is an error the
    // tool reports with its status, not a silent death by SIGPIPE.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mivo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MIVO_VERSION));

    const auto parsed = mivo::cli::parse_command_line(QCoreApplication::arguments());
    if (const int* status = std::get_if<int>(&parsed))
        return *status;
    const auto& invocation = std::get<mivo::cli::Invocation>(parsed);
    // Finding runs again needs the store, not the line.
    if (invocation.command == u"results")
        return mivo::cli::results_command(invocation);
    int status = 0;
    int signal = 0;
    {
        mivo::cli::Session session(std::get<mivo::cli::Invocation>(parsed));
        status = session.run();
        signal = session.signal_number();
    }
    // After the clean-up (the last row, "EN 0", the reports), the signal
    // ends the process as it would have at once.
    mivo::cli::Interruption::end_by_signal(signal);
    return status;
}
