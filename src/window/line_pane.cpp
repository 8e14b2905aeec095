#include "window/line_pane.h"

#include "window/line_table_model.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mivo {

LinePane::LinePane(LineOverview& overview, QWidget* parent)
    : QWidget(parent), model_(new LineTableModel(overview, this)), table_(new QTableView(this))
{
    setObjectName(QStringLiteral("line_pane"));
    table_->setObjectName(QStringLiteral("line_table"));
    table_->setAccessibleName(QStringLiteral("Line"));
    table_->setModel(model_);
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

    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const int station = model_->station_at(index.row()); station >= 0)
            emit station_chosen(station);
    });
}

void LinePane::set_batch_enabled(bool on)
{
    for (QPushButton* b : std::as_const(batch_buttons_))
        b->setEnabled(on);
}

}  // namespace mivo
