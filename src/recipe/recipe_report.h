#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>

namespace mivo::recipe {

// One test.check: what was measured against what was allowed.
struct Check {
    QString name;
    QJsonValue value = QJsonValue::Null;  // a number, a text, a truth value, or null
    std::optional<double> min;
    std::optional<double> max;
    QJsonValue equals = QJsonValue::Undefined;  // undefined when not asked
    bool passed = false;

    // check "P3" = 77, limits 70 to 75
    QString description() const;
    // What was allowed: "70 to 75", "at least 70", "at most 75", "= 77";
    // empty without limits.
    QString limits_text() const;
};

// One test.step, as it ran.
struct Step {
    QString name;
    bool passed = true;
    qint64 time_ms = 0;
    QList<Check> checks;
    // The exception that ended it (FILE:LINE: message), else empty.
    QString error;
    QStringList log;
    // Files written for it (a traced move's CSV), as the run named them: a
    // CI server attaches them to the step.
    QStringList attachments;

    // What failed: the failed checks, then the exception.
    QString failure_message() const;
};

// A "WT" or "SV" the run sent: "SV" has no value and no read-back, and
// counts as taken when the drive answered.
struct Write {
    QString entry;  // "P3", "V1", "SV"
    std::optional<qint16> value;
    std::optional<qint16> read_back;
    bool taken = false;
};

// A traced move: where it was sent and the positions read back on the way
// (x: milliseconds from "MA", y: the position).
struct TracedMove {
    int step = -1;  // the index of the step it ran in; -1: outside the steps
    double target = 0;
    QList<QPointF> samples;
};

// The recipe on one station.
struct StationRun {
    int station = 0;
    QList<Step> steps;
    // Why the recipe did not run to its end (a time limit, "Stop", a
    // signal, a lost line, an exception outside a step), else nothing.
    std::optional<QString> aborted;
    // The abort came between steps, so that no step's failure tells of it.
    bool aborted_outside_steps = false;
    // The recipe's own fault (a syntax or type error): the tool's exit 2.
    bool recipe_error = false;
    // The unit's serial number did not match test.serial_pattern: nothing
    // but the selection went to the drive.
    bool serial_refused = false;
    // A failed step ended the run, as test.stop_on_failure asked.
    bool ended_at_failure = false;
    QList<Write> writes;
    QList<TracedMove> traces;
    // "EN 0" went out after the recipe, which had left the motor on, and
    // the drive acknowledged it.
    bool motor_switched_off = false;
    // "EN 0" went out, acknowledged or not (never in broadcast mode).
    bool motor_off_sent = false;
    QStringList log;  // test.log outside any step
    QStringList attachments;  // files written outside any step
    qint64 time_ms = 0;

    bool passed() const;
    int failed_steps() const;
    // "EN 0" went out and its prompt did not come back.
    bool motor_off_unacknowledged() const { return motor_off_sent && !motor_switched_off; }
};

// The words for motor_off_unacknowledged().
QString motor_off_unacknowledged_text();

// JUnit XML: a <testsuite name="station N"> per run, a <testcase> per step
// in the order they ran, an abort outside the steps as an <error> case.
// not_run: why the recipe ran on no station (the port could not be opened,
// nobody answered the scan), as an <error> case of its own. Text XML 1.0
// cannot carry (control characters, lone surrogates, U+FFFE, U+FFFF) is
// written as U+FFFD.
QByteArray junit_xml(const QList<StationRun>& runs, const QString& recipe_name, const QString& not_run = {});
// {"passed", "stations": [{"station", "passed", "aborted", "steps": [...]}]},
// with "error": not_run when the recipe ran nowhere.
QJsonObject json_document(const QList<StationRun>& runs, const QString& not_run = {});
// The line standard error shows for a step that ended.
QString progress_line(int station, const Step& step);

}  // namespace mivo::recipe
