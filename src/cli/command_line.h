#pragma once

#include "bridge/bridge_options.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace mivo::cli {

// What the tool's exit status tells a script.
enum ExitStatus : int {
    kSuccess = 0,
    kDifferences = 1,  // the drive answered but did not do what was asked
    kBadUsage = 2,     // or a bad file: nothing was written to the drive
    kPortFailed = 3,   // the port could not be opened, or went away
    kNoAnswer = 4,
};

struct Invocation {
    QString command;
    QStringList args;
    QString port;  // as the "Comm" box takes it
    std::optional<int> station;
    // --stations: each in turn; all_stations: those a scan finds.
    QList<int> stations;
    bool all_stations = false;
    bool several() const { return all_stations || !stations.isEmpty(); }
    bool fast = false;
    bool json = false;
    std::optional<int> reply_wait_ms;
    bool save = false;           // restore --save
    std::optional<int> count;    // watch --count
    bool reconnect = false;      // watch --reconnect
    // servo
    bool servo_on = false;
    // write
    int entry = -1;
    qint16 value = 0;
    // move
    qint32 position = 0;
    std::optional<QString> speed;
    bool wait = false;
    double tolerance = 0;
    QString trace;               // move --wait --trace FILE
    // run --junit REPORT
    QString junit;
    // run --artifacts DIR: every traced move's CSV under DIR/station-N/
    QString artifacts;
    // run --memory-limit MIB
    qint64 memory_limit_mib = 1024;
    // home, move --wait: the limit in milliseconds
    qint32 timeout_ms = 0;
    // run and results --results STORE: the store of test runs
    QString results;
    // run --serial SN: one a station, in the order of the stations; results
    // --serial SN: the unit looked for
    QStringList serials;
    QString operator_name;  // run --operator, else the login name
    bool snapshot = false;  // run --snapshot
    // results: the filters, one run by --id and its reports
    bool failed = false;
    QString recipe;
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
    std::optional<int> limit;
    bool csv = false;
    std::optional<qint64> id;
    QString pdf;
    // bridge: the broker, the topics and what commands may do
    bridge::BridgeOptions bridge;
};

// The invocation, or the status to exit with at once: --help and --version
// have been answered, a usage error told on standard error.
std::variant<Invocation, int> parse_command_line(const QStringList& arguments);

}  // namespace mivo::cli
