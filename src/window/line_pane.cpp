#include "window/line_pane.h"

#include "console/drive_operations.h"
#include "console/line_overview.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mivo {

namespace {

QString number_or_empty(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', 15) : QString();
}

}  // namespace

LinePane::LinePane(LineOverview& overview, QWidget* parent)
    : QWidget(parent), overview_(overview), table_(new QTableWidget(0, kColumns, this))
{
    setObjectName(QStringLiteral("line_pane"));
    table_->setObjectName(QStringLiteral("line_table"));
    table_->setAccessibleName(QStringLiteral("Line"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Station"), QStringLiteral("Status"), QStringLiteral("Version"),
                                       QStringLiteral("Position"), QStringLiteral("State"), QStringLiteral("Inputs"),
                                       QStringLiteral("Answered"), QStringLiteral("Last seen")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Room for a few stations whatever the window's size.
    table_->setMinimumHeight(table_->verticalHeader()->defaultSectionSize() * 5);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* name;
        const char* caption;
        void (LinePane::*signal)();
    } kButtons[] = {
        {"cmd_line_backup_all", "Back Up All...", &LinePane::back_up_all},
        {"cmd_line_compare_all", "Compare All...", &LinePane::compare_all},
        {"cmd_line_restore_all", "Restore To All...", &LinePane::restore_to_all},
    };
    for (const auto& b : kButtons) {
        auto* button = new QPushButton(QLatin1String(b.caption), this);
        button->setObjectName(QLatin1String(b.name));
        button->setEnabled(false);
        connect(button, &QPushButton::clicked, this, b.signal);
        buttons->addWidget(button);
        batch_buttons_ << button;
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(&overview_, &LineOverview::rows_reset, this, &LinePane::rebuild);
    connect(&overview_, &LineOverview::row_changed, this, &LinePane::show_row);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < overview_.rows().size())
            emit station_chosen(overview_.rows()[row].station);
    });
    rebuild();
}

void LinePane::set_batch_enabled(bool on)
{
    for (QPushButton* b : std::as_const(batch_buttons_))
        b->setEnabled(on);
}

void LinePane::rebuild()
{
    table_->setRowCount(int(overview_.rows().size()));
    for (int i = 0; i < table_->rowCount(); ++i)
        show_row(i);
}

void LinePane::show_row(int index)
{
    if (index < 0 || index >= overview_.rows().size())
        return;
    if (index >= table_->rowCount())
        table_->setRowCount(index + 1);
    const LineOverview::Row& row = overview_.rows()[index];
    const QStringList state_bits = row.state ? DriveOperations::state_bit_names(*row.state) : QStringList();
    const QString texts[kColumns] = {
        QString::number(row.station),
        row.lost ? QStringLiteral("lost") : row.answered > 0 ? QStringLiteral("ok") : QString(),
        row.version.value_or(QString()),
        number_or_empty(row.position),
        state_bits.join(u' '),
        row.inputs ? DriveOperations::input_bit_names(*row.inputs).join(u' ') : QString(),
        QStringLiteral("%1/%2").arg(row.answered).arg(row.asked),
        row.last_seen.isValid() ? row.last_seen.toString(QStringLiteral("HH:mm:ss")) : QString(),
    };
    for (int c = 0; c < kColumns; ++c) {
        QTableWidgetItem* item = table_->item(index, c);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(index, c, item);
        }
        if (item->text() != texts[c])
            item->setText(texts[c]);
    }
    // A drive in fault stands out.
    table_->item(index, kState)->setForeground(state_bits.contains(QStringLiteral("Fault")) ? QBrush(Qt::red)
                                                                                              : QBrush());
}

}  // namespace mivo
