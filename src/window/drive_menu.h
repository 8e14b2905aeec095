#pragma once

#include "console/station_batch.h"
#include "window/settings_report_dialog.h"

#include <QString>

class QAction;
class QWidget;

namespace mivo {

class Console;
class ConsoleView;
namespace recipe {
class RecipeRun;
}

// The flows of the window's "Drive" and "Line" menus and the Line pane's
// batch buttons: each asks what it needs (a file, a folder, a yes), runs
// the console's operation and shows its report.
class DriveMenu {
public:
    // closing: the window's own flag; once set no report comes up.
    DriveMenu(Console& console, QWidget& window, ConsoleView& view, const bool& closing);

    void back_up();
    void compare();
    void restore();
    void run_test();
    // "Station Mode...": asks for the recipe, the store and the operator,
    // then shows the station panel. port: what "Comm" holds.
    void station_mode(const QString& port);
    // "Results...": the runs of a store.
    void results();
    // "Back Up All...", "Compare All...", "Restore To All..." of the Line pane.
    void run_on_every_station(StationBatch::Kind kind);
    // "Reply Wait...": the item shows the value when it is not the default.
    void reply_wait(QAction& item);

    // Closing the window during a test run stops the run; the window then
    // closes itself once the motor is off. True when that is under way.
    bool stop_run_before_closing();

private:
    // Compare or restore with a file the user picks, then its report.
    void run_with_file(SettingsReportDialog::Kind kind);

    Console& console_;
    QWidget& window_;
    ConsoleView& view_;
    const bool& closing_;
    recipe::RecipeRun* recipe_run_ = nullptr;
    // The store station mode last used, for "Results..." in this session.
    QString last_store_;
    bool close_after_run_ = false;
};

}  // namespace mivo
