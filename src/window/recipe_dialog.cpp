#include "window/recipe_dialog.h"

#include "link/whole_file.h"
#include "recipe/recipe_run.h"
#include "window/json_text.h"

#include <QColor>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

enum Column { kName, kValue, kLimits, kVerdict, kTime, kColumns };

void set_verdict(QTreeWidgetItem* item, bool passed)
{
    item->setText(kVerdict, passed ? QStringLiteral("passed") : QStringLiteral("FAILED"));
    if (!passed)
        item->setForeground(kVerdict, QColor(Qt::red));
}

}  // namespace

RecipeDialog::RecipeDialog(recipe::RecipeRun& run, int station, QWidget* parent)
    : QDialog(parent), run_(run), station_(station)
{
    setObjectName(QStringLiteral("run_test"));
    setWindowTitle(QStringLiteral("Run Test: %1 on station %2").arg(QFileInfo(run.path()).fileName()).arg(station));

    steps_ = new QTreeWidget(this);
    steps_->setObjectName(QStringLiteral("recipe_steps"));
    steps_->setColumnCount(kColumns);
    steps_->setHeaderLabels({QStringLiteral("Step / check"), QStringLiteral("Value"), QStringLiteral("Limits"),
                             QStringLiteral("Verdict"), QStringLiteral("Time")});
    steps_->setRootIsDecorated(true);
    steps_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    steps_->setMinimumSize(560, 280);

    verdict_ = new QLabel(QStringLiteral("RUNNING"), this);
    verdict_->setObjectName(QStringLiteral("recipe_verdict"));
    QFont big = verdict_->font();
    big.setPointSize(28);
    big.setBold(true);
    verdict_->setFont(big);
    verdict_->setAlignment(Qt::AlignCenter);
    reason_ = new QLabel(this);
    reason_->setObjectName(QStringLiteral("recipe_reason"));
    reason_->setWordWrap(true);
    reason_->setAlignment(Qt::AlignCenter);

    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("cmd_recipe_stop"));
    save_ = new QPushButton(QStringLiteral("Save Report..."), this);
    save_->setObjectName(QStringLiteral("cmd_recipe_save_report"));
    save_->setEnabled(false);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("cmd_recipe_close"));
    close_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stop_);
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(steps_, 1);
    layout->addWidget(verdict_);
    layout->addWidget(reason_);
    layout->addLayout(buttons);

    connect(stop_, &QPushButton::clicked, this, [this] { run_.stop(QStringLiteral("stopped by the user")); });
    connect(save_, &QPushButton::clicked, this, &RecipeDialog::save_report);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&run_, &recipe::RecipeRun::step_started, this, &RecipeDialog::step_started);
    connect(&run_, &recipe::RecipeRun::check_made, this, &RecipeDialog::check_made);
    connect(&run_, &recipe::RecipeRun::step_ended, this, &RecipeDialog::step_ended);
    connect(&run_, &recipe::RecipeRun::logged, this, &RecipeDialog::logged);
}

void RecipeDialog::step_started(const QString& name)
{
    step_item_ = new QTreeWidgetItem(steps_, {name});
    step_item_->setText(kVerdict, QStringLiteral("running"));
    step_item_->setExpanded(true);
    steps_->scrollToItem(step_item_);
}

void RecipeDialog::check_made(const recipe::Check& check)
{
    auto* item = new QTreeWidgetItem(step_item_ ? step_item_ : steps_->invisibleRootItem(),
                                     {check.name, json_value_text(check.value), check.limits_text()});
    set_verdict(item, check.passed);
    steps_->scrollToItem(item);
}

void RecipeDialog::step_ended(const recipe::Step& step)
{
    if (!step_item_)
        return;
    set_verdict(step_item_, step.passed);
    step_item_->setText(kTime, QStringLiteral("%1 ms").arg(step.time_ms));
    if (!step.error.isEmpty()) {
        auto* error = new QTreeWidgetItem(step_item_, {step.error});
        error->setForeground(kName, QColor(Qt::red));
        error->setFirstColumnSpanned(true);
    }
    step_item_ = nullptr;
}

void RecipeDialog::logged(const QString& text)
{
    auto* item = new QTreeWidgetItem(step_item_ ? step_item_ : steps_->invisibleRootItem(), {text});
    item->setFirstColumnSpanned(true);
    item->setForeground(kName, QColor(Qt::darkGray));
}

void RecipeDialog::show_result(const recipe::StationRun& result)
{
    result_ = result;
    const bool passed = result.passed();
    summary_ = passed ? QStringLiteral("PASSED") : result.aborted ? QStringLiteral("ABORTED") : QStringLiteral("FAILED");
    verdict_->setText(summary_);
    verdict_->setStyleSheet(passed ? QStringLiteral("color: #1a7f37") : QStringLiteral("color: #cf222e"));
    QStringList why;
    if (result.aborted)
        why << *result.aborted + u'.';
    if (const int failed = result.failed_steps())
        why << QStringLiteral("%1 of %2 steps failed.").arg(failed).arg(result.steps.size());
    if (result.motor_switched_off)
        why << QStringLiteral("The motor was switched off (\"EN 0\").");
    reason_->setText(why.join(u'\n'));
    if (!why.isEmpty())
        summary_ += QStringLiteral(": ") + why.join(u' ');
    stop_->setEnabled(false);
    save_->setEnabled(true);
    close_->setEnabled(true);
    close_->setDefault(true);
}

void RecipeDialog::reject()
{
    if (!result_) {
        run_.stop(QStringLiteral("stopped by the user"));
        return;
    }
    QDialog::reject();
}

void RecipeDialog::save_report()
{
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"), QString(),
                                                QStringLiteral("JUnit XML (*.xml);;JSON (*.json)"), &filter);
    if (path.isEmpty() || !result_)
        return;
    // The name's ending decides; without one, the filter chosen does.
    const bool json = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)
                      || (QFileInfo(path).suffix().isEmpty() && filter.contains(QStringLiteral("json")));
    if (QFileInfo(path).suffix().isEmpty())
        path += json ? QStringLiteral(".json") : QStringLiteral(".xml");
    const QByteArray bytes = json ? QJsonDocument(recipe::json_document({*result_})).toJson(QJsonDocument::Indented)
                                  : recipe::junit_xml({*result_}, QFileInfo(run_.path()).fileName());
    WholeFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        QMessageBox::warning(this, QStringLiteral("Save Report"),
                             QStringLiteral("The report was not saved: %1").arg(file.error()));
}

}  // namespace mivo
