#pragma once

#include "console/trace_metrics.h"
#include "link/waits.h"
#include "recipe/recipe_report.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QJSEngine;
class QJSValue;

namespace mivo {
class Console;
}

namespace mivo::recipe {

class DriveApi;
class EngineProcess;
class RecipeWatch;
class TestApi;

// A test recipe: a JavaScript file run against the selected station,
// through the same drive operations as the window and the tool. Its
// globals are `drive` (the operations) and `test` (steps, checks, log,
// sleep, the time limit). The JavaScript runs in a process of its own, so
// that the console keeps its events and its line whatever the recipe
// computes; this side checks each call, talks to the drive and keeps the
// report. Whatever ends a run that left the motor on, the run sends "EN 0"
// afterwards while the line is up.
class RecipeRun : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultMemoryLimitMiB = 1024;
    // What a run's log keeps in all; the rest is counted in a note.
    static constexpr qsizetype kLongestLog = 1'000'000;

    explicit RecipeRun(Console& console, QObject* parent = nullptr);
    ~RecipeRun() override;

    // Reads the recipe and compiles it without running anything: its error
    // as FILE:LINE: message, else empty.
    QString load(const QString& path);
    const QString& path() const { return path_; }
    // SHA-256 of the text load() read, in hex: which text ran.
    const QString& sha256() const { return sha256_; }
    // The unit's serial number, checked against test.serial_pattern; none:
    // the pattern is not checked.
    void set_serial(const std::optional<QString>& serial) { serial_ = serial; }

    // Asked from another thread while a run goes on: a reason once the run
    // is to stop (the tool's Ctrl-C), else empty.
    void set_outside_stop(std::function<QString()> outside) { outside_ = std::move(outside); }
    // The memory the recipe's JavaScript may hold; beyond it the run is
    // aborted.
    void set_memory_limit_mib(qint64 mib) { memory_limit_mib_ = mib; }
    // Where traced moves' CSVs go, under station-N/; empty: nowhere.
    void set_artifacts_dir(const QString& dir) { artifacts_dir_ = dir; }

    // The loaded recipe, once, on the station the console has selected.
    StationRun run(int station);
    bool running() const { return engine_ != nullptr; }
    // Ends the run under way as soon as it can: the recipe's JavaScript
    // ends, the wait or the line in flight ends, no further line but "EN 0"
    // is written.
    void stop(const QString& reason);

signals:
    void step_started(const QString& name);
    void check_made(const mivo::recipe::Check& check);
    void step_ended(const mivo::recipe::Step& step);
    void logged(const QString& text);

private:
    friend class DriveApi;
    friend class TestApi;

    // The engine's calls, until it ends or the run is stopped: the recipe's
    // outcome when it ended by itself.
    std::optional<QJsonObject> serve(EngineProcess& engine, DriveApi& drive, TestApi& test);
    // One call of the engine's, answered as a value or a thrown error.
    QJsonObject answer(const QString& name, const QJsonArray& args, DriveApi& drive, TestApi& test);
    // How the run ended, into the result.
    void conclude(const std::optional<QJsonObject>& end, EngineProcess& engine);
    // "EN 0" on the run's station, when the motor may be on.
    void switch_motor_off(int station);

    // A step begins (false: the run is stopping) and ends with the error
    // the engine caught, if any.
    bool begin_step(const QString& name);
    bool end_step(const std::optional<QString>& error);
    // A step that ended: into the result and the front end's view; the
    // run ends here when it failed and the recipe asked for that.
    void finish_step(const Step& step);
    // test.check's: outside a step it is a step of its own.
    bool add_check(Check check);
    void add_log(const QString& text);
    void add_write(Write write) { result_->writes.append(std::move(write)); }
    // test.serial_pattern: a serial number it does not match stops the run
    // before anything goes to the drive.
    void check_serial(const QString& source, const QString& flags);
    // A failure of the line ends the run, as a stop does.
    void line_lost();
    // The exchange was stopped under the run (a signal's handler stops it at
    // once): the run stops for the reason the outside gives.
    void exchange_stopped();
    // A wait or an exchange ended early: the run stops, for the right reason.
    void wait_cut_short();
    // An error the engine described, as FILE:LINE: message.
    QString error_text(const QJsonObject& error) const;
    // A traced move's readings as a CSV under the artifacts folder, named
    // in the step under way: why it could not be written, else empty.
    QString keep_trace(const QList<TraceSample>& samples);
    // The same readings into the run's result, for its stored report.
    void add_trace(double target, const QList<TraceSample>& samples);
    // A file named in the recipe: relative to the recipe's folder.
    QString resolve(const QString& file) const;

    Console& console_;
    QString path_;
    QString program_;  // the recipe as one function, compiled per run
    QString sha256_;
    std::optional<QString> serial_;
    std::function<QString()> outside_;
    qint64 memory_limit_mib_ = kDefaultMemoryLimitMiB;
    QString artifacts_dir_;
    int traces_kept_ = 0;  // in the run under way

    // While a run goes on. engine_ checks the calls' arguments and makes
    // their results; the recipe's own JavaScript never runs in it.
    QJSEngine* engine_ = nullptr;
    RecipeWatch* watch_ = nullptr;
    StationRun* result_ = nullptr;
    std::optional<Step> step_;
    Stopwatch step_clock_;
    qsizetype log_size_ = 0;
    qsizetype log_left_out_ = 0;
    bool stop_on_failure_ = false;
    bool ended_at_failure_ = false;
    bool aborted_in_step_ = false;
    // The recipe may have switched the motor on and has not switched it off.
    bool motor_on_ = false;
    // A drive call was made: a serial pattern set now comes too late.
    bool drive_used_ = false;
};

}  // namespace mivo::recipe
