#include "window/station_panel.h"

#include "console/console.h"
#include "protocol/command_lines.h"
#include "recipe/recipe_run.h"
#include "results/results_store.h"
#include "results/run_document.h"
#include "results/station_record.h"
#include "window/run_report_files.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

enum Column { kSerial, kVerdict, kTime, kColumns };

// Letters three times the height of the window's other text.
QFont verdict_font(const QFont& base)
{
    QFont big = base;
    if (base.pointSizeF() > 0)
        big.setPointSizeF(base.pointSizeF() * 3);
    else
        big.setPixelSize(base.pixelSize() * 3);
    big.setBold(true);
    return big;
}

}  // namespace

StationPanel::StationPanel(Console& console, std::unique_ptr<results::ResultsStore> store, Setup setup, QWidget* parent)
    : QDialog(parent), console_(console), store_(std::move(store)), setup_(std::move(setup))
{
    setObjectName(QStringLiteral("station_panel"));
    setWindowTitle(QStringLiteral("Station Mode: %1").arg(QFileInfo(setup_.recipe).fileName()));
    serial_ = new QLineEdit(this);
    serial_->setObjectName(QStringLiteral("station_serial"));
    serial_->setPlaceholderText(QStringLiteral("Scan or type the unit's serial number, then Enter"));
    verdict_ = new QLabel(QStringLiteral("-"), this);
    verdict_->setObjectName(QStringLiteral("station_verdict"));
    verdict_->setFont(verdict_font(QApplication::font()));
    verdict_->setAlignment(Qt::AlignCenter);
    unit_ = new QLabel(this);
    unit_->setObjectName(QStringLiteral("station_unit"));
    unit_->setAlignment(Qt::AlignCenter);
    unit_->setWordWrap(true);
    // Room for the serial number and a failed check that wraps once: a
    // wrapped label gets only its one-line height from the layout.
    unit_->setMinimumHeight(3 * unit_->fontMetrics().lineSpacing());
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("station_note"));
    note_->setWordWrap(true);
    units_ = new QTreeWidget(this);
    units_->setObjectName(QStringLiteral("station_units"));
    units_->setColumnCount(kColumns);
    units_->setHeaderLabels({QStringLiteral("Serial number"), QStringLiteral("Verdict"), QStringLiteral("Time")});
    units_->setRootIsDecorated(false);
    units_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    report_ = new QPushButton(QStringLiteral("Report..."), this);
    report_->setObjectName(QStringLiteral("cmd_station_report"));
    report_->setEnabled(false);
    // Enter in the box runs a unit: no button takes it as the default.
    report_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(report_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(serial_);
    layout->addWidget(verdict_);
    layout->addWidget(unit_);
    layout->addWidget(note_);
    layout->addWidget(units_, 1);
    layout->addLayout(buttons);
    setMinimumSize(560, 480);

    connect(serial_, &QLineEdit::returnPressed, this, &StationPanel::entered);
    connect(report_, &QPushButton::clicked, this, &StationPanel::report);
    connect(units_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { report_->setEnabled(item && item->data(kSerial, Qt::UserRole).toLongLong() > 0); });
    serial_->setFocus();
}

StationPanel::~StationPanel() = default;

void StationPanel::reject()
{
    if (run_) {
        run_->stop(QStringLiteral("the station panel was closed"));
        return;
    }
    QDialog::reject();
}

void StationPanel::entered()
{
    const QString serial = serial_->text().trimmed();
    if (run_) {
        note_->setText(QStringLiteral("A unit is under test: \"%1\" was not taken. Scan it again once the verdict shows.")
                           .arg(serial));
        serial_->clear();
        return;
    }
    if (serial.isEmpty())
        return;
    run_unit(serial);
    serial_->clear();
    serial_->setFocus();
}

void StationPanel::run_unit(const QString& serial)
{
    note_->clear();
    if (const QString refused = results::StationRecord::serial_refusal(serial); !refused.isEmpty()) {
        note_->setText(QStringLiteral("\"%1\" was not taken: %2.").arg(serial, refused));
        return;
    }
    const int station = console_.vars().station_num;
    if (console_.vars().is_linked != kTrue || station > protocol::kLastStation) {
        note_->setText(QStringLiteral("Open the port and select one station (0 to 31) first."));
        return;
    }
    // The recipe is read again for each unit: an edited recipe applies to
    // the next one, and its SHA-256 says which text ran.
    recipe::RecipeRun run(console_);
    if (const QString error = run.load(setup_.recipe); !error.isEmpty()) {
        show_verdict(QStringLiteral("NOT RUN"), serial, error, false);
        return;
    }
    run.set_serial(serial);
    results::StationRecord record(*store_);
    const results::RunStart start{.started = QDateTime::currentDateTime(),
                                  .host = results::StationRecord::host_name(),
                                  .port = setup_.port ? setup_.port() : QString(),
                                  .station = station,
                                  .serial = serial,
                                  .operator_name = setup_.operator_name,
                                  .recipe = QFileInfo(setup_.recipe).fileName(),
                                  .recipe_sha256 = run.sha256(),
                                  .drive = console_.state().live_value(protocol::kValueVersion).value_or(QString())};
    if (const QString error = record.begin(start); !error.isEmpty()) {
        show_verdict(QStringLiteral("NOT RUN"), serial, error, false);
        return;
    }
    show_verdict(QStringLiteral("TESTING"), serial, {}, true);
    run_ = &run;
    if (setup_.running)
        setup_.running(&run);
    const recipe::StationRun result = run.run(station);
    run_ = nullptr;
    if (setup_.running)
        setup_.running(nullptr);
    const qint64 id = record.id();
    const QString kept = record.end(result, start.drive, std::nullopt);
    if (result.serial_refused) {
        show_verdict(QStringLiteral("REFUSED"), serial, result.aborted.value_or(QString()), false);
        return;
    }
    const results::Verdict verdict = results::verdict_of(result);
    QString detail = results::first_failure(result);
    if (detail.isEmpty() && result.aborted)
        detail = *result.aborted;
    show_verdict(results::verdict_word(verdict), serial, detail, verdict == results::Verdict::Passed);
    if (!kept.isEmpty())
        note_->setText(kept);
    auto* item = new QTreeWidgetItem({serial, results::verdict_word(verdict), QTime::currentTime().toString(Qt::ISODate)});
    item->setData(kSerial, Qt::UserRole, kept.isEmpty() ? id : 0);
    units_->insertTopLevelItem(0, item);
    units_->setCurrentItem(item);
}

void StationPanel::show_verdict(const QString& verdict, const QString& serial, const QString& detail, bool passed)
{
    verdict_text_ = verdict;
    verdict_->setText(verdict);
    verdict_->setStyleSheet(passed ? QStringLiteral("color: #1a7f37") : QStringLiteral("color: #cf222e"));
    unit_->setText(detail.isEmpty() ? serial : QStringLiteral("%1\n%2").arg(serial, detail));
}

void StationPanel::report()
{
    const QTreeWidgetItem* item = units_->currentItem();
    if (!item)
        return;
    save_run_report(*this, *store_, item->data(kSerial, Qt::UserRole).toLongLong(), RunReportKind::Pdf);
    serial_->setFocus();
}

}  // namespace mivo
