#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace mivo::cli {

// What the tool's exit status tells a script.
enum ExitStatus : int {
    kSuccess = 0,
    kDifferences = 1,  // compare found some; a restored value did not read back
    kBadUsage = 2,     // or a bad file: nothing was written to the drive
    kPortFailed = 3,   // the port could not be opened, or went away
    kNoAnswer = 4,
};

struct Invocation {
    QString command;
    QStringList args;
    QString port;  // as the "Comm" box takes it
    std::optional<int> station;
    bool fast = false;
    bool save = false;
    std::optional<int> count;
};

// The invocation, or the status to exit with at once: --help and --version
// have been answered, a usage error told on standard error.
std::variant<Invocation, int> parse_command_line(const QStringList& arguments);

}  // namespace mivo::cli
