#pragma once

#include <QLatin1StringView>
#include <QList>
#include <QStringList>

namespace mivo::cli {

struct Job;

// One command of the tool: what it checks before the port opens, its work
// on the selected station with its text and JSON, and its own round over
// several stations where the common one does not fit.
struct Command {
    QLatin1StringView name;
    // On the selected station (scan: on the line): the exit status.
    int (*run)(Job&);
    // Before the port opens, nothing sent yet: kSuccess, or the status to
    // end with.
    int (*prepare)(Job&) = nullptr;
    // --stations, instead of the command on each station in turn.
    int (*each)(Job&, const QList<int>& stations) = nullptr;
    // --stations --json: the values of a station's document, null in one
    // that failed before it had them.
    QStringList values = {};
};

// The command of that name; nullptr for none.
const Command* find_command(QLatin1StringView name);

}  // namespace mivo::cli
