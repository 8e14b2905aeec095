#pragma once

#include "cli/cli_view.h"
#include "cli/command_line.h"
#include "cli/interruption.h"
#include "console/console.h"
#include "console/drive_settings.h"
#include "console/settings_file.h"
#include "link/line_port.h"
#include "recipe/recipe_report.h"

#include <QJsonObject>

#include <memory>
#include <optional>

namespace mivo::recipe {
class RecipeRun;
}

namespace mivo::cli {

// One run of the tool: the console core on the system's serial port, the
// port opened and the station selected as the window's buttons would, then
// the command. Gives the exit status.
class Session {
public:
    explicit Session(const Invocation& invocation);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int run();
    // The signal that stopped the command, or 0.
    int signal_number() const { return interruption_.signal_number(); }

private:
    int open_and_select();
    // Selects the station; its status as the tool's exit status.
    int select(int station);
    // --stations: the command on each station in turn.
    int run_each(const std::optional<settings_file::Values>& file);
    // The stations a scan finds, told nothing.
    QList<int> answering_stations();
    // watch --stations: a row a station, round after round.
    int watch_each(const QList<int>& stations);
    // watch --reconnect: the line was lost; true once it is open again,
    // false when it will not be tried again or a signal came.
    bool wait_for_line();
    // A station whose command failed before it had a document: its values
    // null and the error.
    QJsonObject failed_document(const QString& error) const;
    // The words for an exit status that none were told for.
    QString failure_text(int status) const;
    QString backup_path(int station) const;
    int run_command(const std::optional<settings_file::Values>& file);
    int scan();
    int read();
    int back_up();
    int compare(const settings_file::Values& file);
    int restore(const settings_file::Values& file);
    int send();
    int watch();
    int status_command();
    int servo();
    int home();
    int move();
    int write();
    int save();
    // run: the recipe on the selected station; its result joins runs_.
    int run_recipe();
    // run: the reports of every station's run, once all have run.
    int write_reports(int status);

    bool linked();
    // The exit status of an outcome, told on standard error where it failed.
    // The words told are kept in error_.
    int status_of(const DriveSettings::Report& report, const QString& what);
    int status_of(DriveOperations::Failure failure, const QString& what);
    QJsonObject station_document() const;
    QString writer() const;

    const Invocation& inv_;
    LinePort port_;
    Console console_;
    CliView view_;
    Interruption interruption_;
    // A watch ends by Ctrl-C: a signal then is no failure.
    bool signal_ends_run_ = false;
    int station_ = 0;  // the one the command is for
    QString drive_version_;
    // --json: the command's document, printed once it is done.
    std::optional<QJsonObject> document_;
    // What went wrong on the station under way, as told on standard error.
    QString error_;
    // run: why the recipe ran on no station.
    QString not_run_;
    // run: the recipe, loaded before the port opens, and what it did.
    std::unique_ptr<recipe::RecipeRun> recipe_;
    QList<recipe::StationRun> runs_;
};

}  // namespace mivo::cli
