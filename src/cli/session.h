#pragma once

#include "cli/cli_view.h"
#include "cli/command_line.h"
#include "cli/interruption.h"
#include "cli/job.h"
#include "console/console.h"
#include "link/line_port.h"

namespace mivo::cli {

struct Command;

// One run of the tool: the console core on the system's serial port, the
// port opened and the station selected as the window's buttons would, then
// the command from the table, on one station or on each in turn. Gives the
// exit status.
class Session {
public:
    explicit Session(const Invocation& invocation);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int run();
    // The signal that stopped the command, or 0.
    int signal_number() const { return job_.signal_is_clean_end ? 0 : interruption_.signal_number(); }

private:
    int open_and_select();
    // --stations: the command on each station in turn.
    int run_each();
    // The command on the selected station; a port gone is a port gone.
    int run_command();
    // A station whose command failed before it had a document: its values
    // null and the error.
    QJsonObject failed_document(const QString& error) const;

    const Invocation& inv_;
    const Command* command_;
    LinePort port_;
    Console console_;
    CliView view_;
    Interruption interruption_;
    Job job_;
};

}  // namespace mivo::cli
