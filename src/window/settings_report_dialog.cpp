#include "window/settings_report_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

QString headline(SettingsReportDialog::Kind kind, const DriveSettings::Report& r)
{
    using Outcome = DriveSettings::Outcome;
    const bool compare = kind == SettingsReportDialog::Kind::Compare;
    const QString what = compare ? QStringLiteral("Compare") : QStringLiteral("Restore");
    if (r.outcome != Outcome::Done && r.outcome != Outcome::Differences)
        return DriveSettings::summary(r, what);
    if (compare)
        return r.differences.isEmpty() ? QStringLiteral("The drive holds the values of the file.")
                                       : r.differences.size() == 1 ? QStringLiteral("1 entry differs.")
                                                                   : QStringLiteral("%1 entries differ.").arg(r.differences.size());
    if (r.written.isEmpty())
        return QStringLiteral("The drive already holds the values of the file; nothing was written.");
    return DriveSettings::summary(r, what);
}

}  // namespace

SettingsReportDialog::SettingsReportDialog(Kind kind, const DriveSettings::Report& report, QWidget* parent)
    : QDialog(parent), summary_(headline(kind, report))
{
    setObjectName(QStringLiteral("settings_report"));
    setWindowTitle(kind == Kind::Compare ? QStringLiteral("Compare With File") : QStringLiteral("Restore From File"));
    auto* layout = new QVBoxLayout(this);
    auto* line = new QLabel(summary_, this);
    line->setWordWrap(true);
    layout->addWidget(line);

    const QList<DriveSettings::Entry>& rows = kind == Kind::Compare ? report.differences : report.written;
    if (!rows.isEmpty()) {
        const QStringList columns = kind == Kind::Compare
                                        ? QStringList{"Entry", "Caption", "Drive", "File"}
                                        : QStringList{"Entry", "Caption", "Before", "Written", "Taken"};
        auto* table = new QTableWidget(int(rows.size()), int(columns.size()), this);
        table->setObjectName(QStringLiteral("entries"));
        table->setHorizontalHeaderLabels(columns);
        table->verticalHeader()->hide();
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < rows.size(); ++r) {
            const DriveSettings::Entry& e = rows[r];
            const QString name = settings_file::name_of(e.entry);
            QStringList cells{name, settings_file::caption_of(e.entry), QString::number(e.drive),
                              QString::number(e.file)};
            if (kind == Kind::Restore)
                cells << (report.not_taken.contains(name) ? QStringLiteral("no") : QStringLiteral("yes"));
            for (int c = 0; c < cells.size(); ++c)
                table->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        table->resizeColumnsToContents();
        layout->addWidget(table);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace mivo
