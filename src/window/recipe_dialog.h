#pragma once

#include "recipe/recipe_report.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mivo {

namespace recipe {
class RecipeRun;
}

// "Run Test...": the steps and checks of a recipe as they run, with their
// values, limits and verdicts, a "Stop" that aborts the run (the motor is
// switched off), the verdict in large letters at the end and the report
// saved as JUnit XML or JSON.
class RecipeDialog : public QDialog {
    Q_OBJECT
    // The verdict once the run has ended, else empty.
    Q_PROPERTY(QString summary READ summary)
public:
    RecipeDialog(recipe::RecipeRun& run, int station, QWidget* parent = nullptr);

    // The run has ended: its verdict, and the report can be saved.
    void show_result(const recipe::StationRun& result);
    QString summary() const { return summary_; }

    // Closing the dialog while the recipe runs stops it instead.
    void reject() override;

private:
    void step_started(const QString& name);
    void check_made(const recipe::Check& check);
    void step_ended(const recipe::Step& step);
    void logged(const QString& text);
    void save_report();

    recipe::RecipeRun& run_;
    int station_;
    std::optional<recipe::StationRun> result_;
    QString summary_;
    QTreeWidget* steps_;
    QTreeWidgetItem* step_item_ = nullptr;
    QLabel* verdict_;
    QLabel* reason_;
    QPushButton* stop_;
    QPushButton* save_;
    QPushButton* close_;
};

}  // namespace mivo
