#pragma once

#include "cli/cli_view.h"
#include "cli/command_line.h"
#include "cli/interruption.h"
#include "console/console.h"
#include "console/settings_file.h"
#include "recipe/recipe_batch.h"
#include "results/results_store.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace mivo::cli {

// Text on standard error, as the tool says it.
void tell(const QString& text);

// What a command works with and what it leaves for the run to print: the
// invocation, the console, the station under way, its document and the
// words of what went wrong there.
struct Job {
    Job(const Invocation& invocation, Console& console, Interruption& interruption)
        : inv(invocation), console(console), interruption(interruption)
    {
    }

    const Invocation& inv;
    Console& console;
    Interruption& interruption;

    int station = 0;  // the one the command is for
    QString drive_version;
    // --json: the command's document, printed once it is done.
    std::optional<QJsonObject> document;
    // What went wrong on the station under way, as told on standard error.
    QString error;
    // A watch and a recipe end by Ctrl-C: a signal then is no failure.
    bool signal_ends_run = false;
    // A bridge ends by a signal with status 0, not by the signal.
    bool signal_is_clean_end = false;
    // compare, restore: the file, checked whole before the port opens.
    std::optional<settings_file::Values> file;
    // run: the recipe, loaded before the port opens, and its runs; why it
    // ran on no station.
    std::unique_ptr<recipe::RecipeBatch> recipe;
    QString not_run;
    // run --results: the store each station's run is kept in.
    std::unique_ptr<results::ResultsStore> results;

    bool linked() const;
    QString writer() const;
    QJsonObject station_document() const;

    // The outcome of a station's selection as the exit status, told on
    // standard error where it failed.
    int take_selection(int number, const DriveOperations::Selection& s);
    // The stations a scan finds, told nothing.
    QList<int> answering_stations();

    // The exit status of an outcome, told on standard error where it
    // failed; the words told are kept in error.
    int status_of(const DriveSettings::Report& report, const QString& what);
    int status_of(DriveOperations::Failure failure, const QString& what);
    // The words for an exit status that none were told for.
    QString failure_text(int status) const;
};

}  // namespace mivo::cli
