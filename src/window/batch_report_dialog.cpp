#include "window/batch_report_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

using Outcome = DriveSettings::Outcome;

const char* verb(StationBatch::Kind kind)
{
    switch (kind) {
    case StationBatch::Kind::BackUp: return "Back up";
    case StationBatch::Kind::Compare: return "Compare";
    case StationBatch::Kind::Restore: return "Restore";
    }
    return "";
}

QString outcome_text(StationBatch::Kind kind, const StationBatch::Result& r)
{
    if (!r.answered && (r.report.outcome == Outcome::NoAnswer || r.report.outcome == Outcome::LinkLost))
        return r.report.outcome == Outcome::NoAnswer ? QStringLiteral("did not answer") : QStringLiteral("line lost");
    const bool fine = r.report.outcome == Outcome::Done;
    switch (kind) {
    case StationBatch::Kind::BackUp: return fine ? QStringLiteral("backed up to %1").arg(r.file)
                                                 : DriveSettings::summary(r.report, QLatin1String(verb(kind)));
    case StationBatch::Kind::Compare:
        if (fine)
            return QStringLiteral("same");
        if (r.report.outcome == Outcome::Differences)
            return QStringLiteral("differs");
        break;
    case StationBatch::Kind::Restore:
        if (fine && r.report.written.isEmpty())
            return QStringLiteral("nothing to write");
        if (fine)
            return r.report.saved ? QStringLiteral("written and saved") : QStringLiteral("written, not saved");
        break;
    }
    return DriveSettings::summary(r.report, QLatin1String(verb(kind)));
}

QString differences_text(StationBatch::Kind kind, const StationBatch::Result& r)
{
    QStringList parts;
    if (kind == StationBatch::Kind::Compare) {
        for (const DriveSettings::Entry& e : r.report.differences)
            parts << QStringLiteral("%1: drive %2, file %3").arg(settings_file::name_of(e.entry)).arg(e.drive).arg(e.file);
    } else if (kind == StationBatch::Kind::Restore) {
        for (const DriveSettings::Entry& e : r.report.written) {
            const QString name = settings_file::name_of(e.entry);
            parts << (r.report.not_taken.contains(name) ? QStringLiteral("%1 not taken").arg(name) : name);
        }
    }
    return parts.join(QStringLiteral("; "));
}

}  // namespace

BatchReportDialog::BatchReportDialog(StationBatch::Kind kind, const QList<StationBatch::Result>& results,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("batch_report"));
    setWindowTitle(QStringLiteral("%1: every station").arg(QLatin1String(verb(kind))));
    int fine = 0;
    for (const StationBatch::Result& r : results)
        fine += r.report.outcome == Outcome::Done ? 1 : 0;
    summary_ = QStringLiteral("%1 of %2 stations: done.").arg(fine).arg(results.size());
    if (kind == StationBatch::Kind::Compare)
        summary_ = QStringLiteral("%1 of %2 stations hold the values of the file.").arg(fine).arg(results.size());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(summary_, this));
    auto* table = new QTableWidget(int(results.size()), 3, this);
    table->setObjectName(QStringLiteral("batch_results"));
    table->setHorizontalHeaderLabels({QStringLiteral("Station"), QStringLiteral("Outcome"), QStringLiteral("Differences")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < results.size(); ++i) {
        const StationBatch::Result& r = results[i];
        const QString cells[3] = {QString::number(r.station), outcome_text(kind, r), differences_text(kind, r)};
        for (int c = 0; c < 3; ++c)
            table->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(640, 320);
}

}  // namespace mivo
