#pragma once

#include "recipe/recipe_report.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace mivo {
class Console;
}

namespace mivo::recipe {

class RecipeRun;

// One recipe on several stations in turn, and what is said of it: a line a
// step and a log while a station runs, the station's conclusion, the reports
// of every run at the end. A front end shows the lines as it sees fit.
class RecipeBatch {
public:
    explicit RecipeBatch(Console& console);
    ~RecipeBatch();
    RecipeBatch(const RecipeBatch&) = delete;
    RecipeBatch& operator=(const RecipeBatch&) = delete;

    // To load the recipe and set its limits before the runs.
    RecipeRun& recipe() { return *recipe_; }

    // The recipe on the station the console has selected; the run is kept.
    // progress: a line for each step that ended and each test.log.
    const StationRun& run(int station, const std::function<void(const QString&)>& progress);
    // A station the recipe could not run on: its reports name it.
    void not_answered(int station);
    const QList<StationRun>& runs() const { return runs_; }

    // What the end of a station's run says, a line each: the motor switched
    // off, the abort, then PASSED or FAILED with the steps.
    static QStringList conclusion(const StationRun& run);

    // The reports of every run. not_run: why the recipe ran on no station.
    QJsonObject json_document(const QString& not_run) const;
    // The JUnit report, replaced whole: empty, or why it could not be.
    QString write_junit(const QString& path, const QString& recipe_name, const QString& not_run) const;

private:
    std::unique_ptr<RecipeRun> recipe_;
    QList<StationRun> runs_;
};

}  // namespace mivo::recipe
