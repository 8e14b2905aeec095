#include "window/drive_menu.h"

#include "console/console.h"
#include "console/console_view.h"
#include "recipe/recipe_run.h"
#include "results/results_store.h"
#include "window/batch_report_dialog.h"
#include "window/recipe_dialog.h"
#include "window/results_dialog.h"
#include "window/station_panel.h"
#include "window/station_setup_dialog.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QTimer>
#include <QWidget>

namespace mivo {

DriveMenu::DriveMenu(Console& console, QWidget& window, ConsoleView& view, const bool& closing)
    : console_(console), window_(window), view_(view), closing_(closing)
{
}

bool DriveMenu::stop_run_before_closing()
{
    if (!recipe_run_)
        return false;
    close_after_run_ = true;
    recipe_run_->stop(QStringLiteral("the window was closed"));
    return true;
}

namespace {
const QString kSettingsFilter = QStringLiteral("Drive settings (*.mivo);;All files (*)");
}  // namespace

void DriveMenu::back_up()
{
    const QString path = QFileDialog::getSaveFileName(&window_, QStringLiteral("Back Up Settings"), QString(),
                                                      kSettingsFilter);
    if (path.isEmpty())
        return;
    const DriveSettings::Report report =
        console_.drive_settings().back_up(path, QStringLiteral("mivo-console " MIVO_VERSION));
    view_.show_message(report.outcome == DriveSettings::Outcome::Done
                     ? DriveSettings::backed_up_text(console_.vars().station_num, path)
                     : DriveSettings::summary(report, QStringLiteral("Back up")));
}

void DriveMenu::compare()
{
    run_with_file(SettingsReportDialog::Kind::Compare);
}

void DriveMenu::restore()
{
    run_with_file(SettingsReportDialog::Kind::Restore);
}

void DriveMenu::station_mode(const QString& port)
{
    StationSetupDialog setup(&window_);
    if (setup.exec() != QDialog::Accepted)
        return;
    auto store = std::make_unique<results::ResultsStore>();
    if (const QString error = store->open(setup.store(), results::ResultsStore::Use::Record); !error.isEmpty()) {
        view_.show_message(QStringLiteral("The results store cannot be used: %1").arg(error));
        return;
    }
    last_store_ = setup.store();
    StationPanel::Setup panel{.recipe = setup.recipe(),
                              .operator_name = setup.operator_name(),
                              .port = [port] { return port; },
                              .running = [this](recipe::RecipeRun* run) {
                                  recipe_run_ = run;
                                  // The window waited for the motor to be switched off.
                                  if (!run && close_after_run_)
                                      QTimer::singleShot(0, &window_, &QWidget::close);
                              }};
    auto* dialog = new StationPanel(console_, std::move(store), std::move(panel), &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void DriveMenu::results()
{
    auto* dialog = new ResultsDialog(last_store_, &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void DriveMenu::run_test()
{
    const QString path = QFileDialog::getOpenFileName(&window_, QStringLiteral("Run Test"), QString(),
                                                      QStringLiteral("Test recipes (*.js);;All files (*)"));
    if (path.isEmpty())
        return;
    auto* run = new recipe::RecipeRun(console_);
    if (const QString error = run->load(path); !error.isEmpty()) {
        delete run;
        view_.show_message(error);
        return;
    }
    // The dialog keeps the run for its report and stays after the handler.
    const int station = console_.vars().station_num;
    auto* dialog = new RecipeDialog(*run, station, &window_);
    run->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    recipe_run_ = run;
    const recipe::StationRun result = run->run(station);
    recipe_run_ = nullptr;
    dialog->show_result(result);
    // The window waited for the motor to be switched off before it closes.
    if (close_after_run_)
        QTimer::singleShot(0, &window_, &QWidget::close);
}

void DriveMenu::run_with_file(SettingsReportDialog::Kind kind)
{
    const bool compare = kind == SettingsReportDialog::Kind::Compare;
    const QString path = QFileDialog::getOpenFileName(
        &window_, compare ? QStringLiteral("Compare With File") : QStringLiteral("Restore From File"), QString(),
        kSettingsFilter);
    if (path.isEmpty())
        return;
    DriveSettings& drive = console_.drive_settings();
    // Asked before anything is written: the answer counts only when the
    // drive takes every entry.
    const auto save = [this] {
        return view_.ask(QStringLiteral("Save (\"SV\") once the drive has taken every entry?"))
                   ? DriveSettings::SaveChoice::Save
                   : DriveSettings::SaveChoice::DoNotSave;
    };
    const DriveSettings::Report report = compare ? drive.compare_file(path) : drive.restore_file(path, save());
    if (!closing_)
        SettingsReportDialog(kind, report, &window_).exec();
}

void DriveMenu::run_on_every_station(StationBatch::Kind kind)
{
    QList<int> stations;
    for (const LineOverview::Row& row : console_.line_overview().rows())
        stations << row.station;
    if (stations.isEmpty()) {
        view_.show_message(QStringLiteral("No station in the Line pane: search the line first."));
        return;
    }
    QStringList names;
    for (const int s : std::as_const(stations))
        names << QString::number(s);
    QString path;
    bool save = false;
    switch (kind) {
    case StationBatch::Kind::BackUp:
        path = QFileDialog::getExistingDirectory(&window_, QStringLiteral("Back Up All: a folder for station-N.mivo"));
        break;
    case StationBatch::Kind::Compare:
        path = QFileDialog::getOpenFileName(&window_, QStringLiteral("Compare All With File"), QString(), kSettingsFilter);
        break;
    case StationBatch::Kind::Restore:
        path = QFileDialog::getOpenFileName(&window_, QStringLiteral("Restore To All From File"), QString(),
                                            kSettingsFilter);
        if (path.isEmpty()
            || !view_.ask(QStringLiteral("Restore %1 to stations %2? Each station's entries that differ are written and "
                                   "read back.")
                        .arg(path, names.join(QStringLiteral(", ")))))
            return;
        save = view_.ask(QStringLiteral("Save (\"SV\") on each station that takes every entry?"));
        break;
    }
    if (path.isEmpty())
        return;
    const QList<StationBatch::Result> results =
        console_.station_batch().run(kind, stations, path, save, QStringLiteral("mivo-console " MIVO_VERSION));
    if (!closing_)
        BatchReportDialog(kind, results, &window_).exec();
}


void DriveMenu::reply_wait(QAction& item)
{
    QInputDialog dialog(&window_);
    dialog.setObjectName(QStringLiteral("reply_wait_dialog"));
    dialog.setWindowTitle(QStringLiteral("Reply Wait"));
    dialog.setLabelText(QStringLiteral("How long each line waits for the drive's reply, in ms\n"
                                       "(raise it for a converter or a radio link that adds latency):"));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(CommandExchange::kReplyWaitMs, CommandExchange::kMaxReplyWaitMs);
    dialog.setIntValue(console_.exchange().reply_wait_ms());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int ms = dialog.intValue();
    console_.exchange().set_reply_wait_ms(ms);
    item.setText(ms == CommandExchange::kReplyWaitMs
                                         ? QStringLiteral("Reply Wait...")
                                         : QStringLiteral("Reply Wait... (%1 ms)").arg(ms));
}

}  // namespace mivo
