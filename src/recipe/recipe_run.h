#pragma once

#include "recipe/recipe_report.h"

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
class RecipeWatch;
class TestApi;

// A test recipe: a JavaScript file run on Qt's engine against the selected
// station, through the same drive operations as the window and the tool.
// Its globals are `drive` (the operations) and `test` (steps, checks, log,
// sleep, the time limit). Whatever ends a run that left the motor on, the
// run sends "EN 0" afterwards while the line is up.
class RecipeRun : public QObject {
    Q_OBJECT
public:
    explicit RecipeRun(Console& console, QObject* parent = nullptr);
    ~RecipeRun() override;

    // Reads the recipe and compiles it without running anything: its error
    // as FILE:LINE: message, else empty.
    QString load(const QString& path);
    const QString& path() const { return path_; }

    // Asked from another thread while a run goes on: a reason once the run
    // is to stop (the tool's Ctrl-C), else empty.
    void set_outside_stop(std::function<QString()> outside) { outside_ = std::move(outside); }

    // The loaded recipe, once, on the station the console has selected.
    StationRun run(int station);
    bool running() const { return engine_ != nullptr; }
    // Ends the run under way as soon as it can: the wait or the line in
    // flight ends, no further line but "EN 0" is written.
    void stop(const QString& reason);

signals:
    void step_started(const QString& name);
    void check_made(const mivo::recipe::Check& check);
    void step_ended(const mivo::recipe::Step& step);
    void logged(const QString& text);

private:
    friend class DriveApi;
    friend class TestApi;

    // test.step's work; a step does not run once the run is stopping.
    bool run_step(const QString& name, const QJSValue& body);
    // A step that ended: into the result and the front end's view; the
    // run ends here when it failed and the recipe asked for that.
    void finish_step(const Step& step);
    // test.check's: outside a step it is a step of its own.
    bool add_check(Check check);
    void add_log(const QString& text);
    // A failure of the line ends the run, as a stop does.
    void line_lost();
    // The exchange was stopped under the run (a signal's handler stops it at
    // once): the run stops for the reason the outside gives.
    void exchange_stopped();
    // A wait or an exchange ended early: the run stops, for the right reason.
    void wait_cut_short();
    // The step ended and the recipe asked to stop at the first failure.
    void end_at_failure();
    // An error value as FILE:LINE: message.
    QString error_text(const QJSValue& error) const;
    // A file named in the recipe: relative to the recipe's folder.
    QString resolve(const QString& file) const;
    // Lets the window draw what came, unless the line has gone.
    void show_progress();

    Console& console_;
    QString path_;
    QString program_;  // the recipe as one function, compiled per run
    std::function<QString()> outside_;

    // While a run goes on.
    QJSEngine* engine_ = nullptr;
    RecipeWatch* watch_ = nullptr;
    StationRun* result_ = nullptr;
    std::optional<Step> step_;
    bool stop_on_failure_ = false;
    bool ended_at_failure_ = false;
    bool aborted_in_step_ = false;
    // The recipe switched the motor on and has not switched it off.
    bool motor_on_ = false;
};

}  // namespace mivo::recipe
