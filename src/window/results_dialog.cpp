#include "window/results_dialog.h"

#include "results/results_store.h"
#include "results/run_document.h"
#include "results/run_finder.h"
#include "window/json_text.h"
#include "window/run_report_files.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

QLineEdit* edit(const char* name, const QString& placeholder, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(placeholder);
    return e;
}

}  // namespace

ResultsDialog::ResultsDialog(const QString& store, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("results"));
    setWindowTitle(QStringLiteral("Results"));
    address_ = edit("results_store", QStringLiteral("a file, or postgresql://[USER@]HOST[:PORT]/DB"), this);
    address_->setText(store);
    serial_ = edit("results_serial", QStringLiteral("any unit"), this);
    recipe_ = edit("results_recipe", QStringLiteral("any recipe file"), this);
    since_ = edit("results_since", QStringLiteral("2026-03-01 or 2026-03-01T08:00"), this);
    until_ = edit("results_until", QStringLiteral("2026-03-31"), this);
    failed_ = new QCheckBox(QStringLiteral("Only runs that did not pass"), this);
    failed_->setObjectName(QStringLiteral("results_failed"));
    auto* find = new QPushButton(QStringLiteral("Find"), this);
    find->setObjectName(QStringLiteral("cmd_results_find"));
    find->setDefault(true);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("results_note"));
    note_->setWordWrap(true);

    runs_ = new QTreeWidget(this);
    runs_->setObjectName(QStringLiteral("results_runs"));
    runs_->setHeaderLabels({QStringLiteral("Started"), QStringLiteral("Serial number"), QStringLiteral("Station"),
                            QStringLiteral("Recipe"), QStringLiteral("Verdict"), QStringLiteral("First failed check")});
    runs_->setRootIsDecorated(false);
    runs_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    steps_ = new QTreeWidget(this);
    steps_->setObjectName(QStringLiteral("results_steps"));
    steps_->setHeaderLabels({QStringLiteral("Step / check"), QStringLiteral("Value"), QStringLiteral("Limits"),
                             QStringLiteral("Verdict")});
    steps_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    pdf_ = new QPushButton(QStringLiteral("Save PDF..."), this);
    pdf_->setObjectName(QStringLiteral("cmd_results_pdf"));
    junit_ = new QPushButton(QStringLiteral("Save JUnit..."), this);
    junit_->setObjectName(QStringLiteral("cmd_results_junit"));
    pdf_->setEnabled(false);
    junit_->setEnabled(false);
    pdf_->setAutoDefault(false);
    junit_->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Store:"), address_);
    form->addRow(QStringLiteral("Serial number:"), serial_);
    form->addRow(QStringLiteral("Recipe:"), recipe_);
    form->addRow(QStringLiteral("Started from:"), since_);
    form->addRow(QStringLiteral("Started until:"), until_);
    form->addRow(QString(), failed_);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(runs_);
    split->addWidget(steps_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(find);
    buttons->addStretch();
    buttons->addWidget(pdf_);
    buttons->addWidget(junit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(note_);
    layout->addWidget(split, 1);
    resize(760, 620);

    connect(find, &QPushButton::clicked, this, &ResultsDialog::find);
    connect(runs_, &QTreeWidget::currentItemChanged, this, &ResultsDialog::show_run);
    connect(pdf_, &QPushButton::clicked, this, [this] { save(true); });
    connect(junit_, &QPushButton::clicked, this, [this] { save(false); });
}

ResultsDialog::~ResultsDialog() = default;

void ResultsDialog::find()
{
    runs_->clear();
    steps_->clear();
    note_->clear();
    if (!store_ || store_->address() != address_->text().trimmed()) {
        store_ = std::make_unique<results::ResultsStore>();
        if (const QString error = store_->open(address_->text().trimmed(), results::ResultsStore::Use::Read);
            !error.isEmpty()) {
            store_.reset();
            note_->setText(QStringLiteral("The store cannot be read: %1").arg(error));
            return;
        }
    }
    results::Filter filter;
    filter.serial = serial_->text().trimmed();
    filter.recipe = recipe_->text().trimmed();
    filter.failed = failed_->isChecked();
    for (const auto& [box, until] : {std::pair{since_, false}, {until_, true}}) {
        if (box->text().trimmed().isEmpty())
            continue;
        const std::optional<QDateTime> t = results::time_bound(box->text().trimmed(), until);
        if (!t) {
            note_->setText(QStringLiteral("\"%1\" is not a date (2026-03-01) or a date and time (2026-03-01T08:00).")
                               .arg(box->text()));
            return;
        }
        (until ? filter.until : filter.since) = t;
    }
    // A list a person reads: the newest thousand.
    filter.limit = 1000;
    const std::optional<QList<results::StoredRun>> runs = results::RunFinder(*store_).find(filter);
    if (!runs) {
        note_->setText(QStringLiteral("The store cannot be read: %1").arg(store_->error()));
        return;
    }
    for (const results::StoredRun& run : *runs) {
        auto* item = new QTreeWidgetItem(
            runs_, {results::time_text(run.start.started), run.start.serial, QString::number(run.start.station),
                    run.start.recipe, results::verdict_word(run.verdict), run.first_failed_check});
        item->setData(0, Qt::UserRole, run.id);
    }
    note_->setText(runs->isEmpty() ? QStringLiteral("No run found.") : QStringLiteral("%1 runs.").arg(runs->size()));
}

qint64 ResultsDialog::current_id() const
{
    const QTreeWidgetItem* item = runs_->currentItem();
    return item ? item->data(0, Qt::UserRole).toLongLong() : 0;
}

void ResultsDialog::show_run()
{
    steps_->clear();
    const qint64 id = current_id();
    pdf_->setEnabled(id > 0);
    junit_->setEnabled(id > 0);
    if (id <= 0 || !store_)
        return;
    const std::optional<results::StoredRun> run = results::RunFinder(*store_).load(id);
    if (!run)
        return;
    for (const recipe::Step& step : run->run.steps) {
        auto* item = new QTreeWidgetItem(steps_, {step.name, {}, {}, step.passed ? QStringLiteral("passed")
                                                                                 : QStringLiteral("FAILED")});
        for (const recipe::Check& c : step.checks)
            new QTreeWidgetItem(item, {c.name, json_value_text(c.value), c.limits_text(),
                                       c.passed ? QStringLiteral("passed") : QStringLiteral("FAILED")});
        if (!step.error.isEmpty())
            new QTreeWidgetItem(item, {step.error});
        for (const QString& line : step.log)
            new QTreeWidgetItem(item, {line});
        item->setExpanded(true);
    }
    if (run->run.aborted)
        new QTreeWidgetItem(steps_, {QStringLiteral("aborted: %1").arg(*run->run.aborted)});
}

void ResultsDialog::save(bool pdf)
{
    if (const qint64 id = current_id(); id > 0 && store_)
        save_run_report(*this, *store_, id, pdf ? RunReportKind::Pdf : RunReportKind::Junit);
}

}  // namespace mivo
