#include "window/wire_log_pane.h"

#include "link/wire_log.h"
#include "window/message_box.h"
#include "window/wire_log_model.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace mivo {

WireLogPane::WireLogPane(WireLog& log, QWidget* parent)
    : QWidget(parent), log_(log), model_(new WireLogModel(log, this)), view_(new QTableView(this)),
      hide_poll_(new QCheckBox(QStringLiteral("Hide poll"), this)),
      pause_(new QPushButton(QStringLiteral("Pause"), this))
{
    setObjectName(QStringLiteral("wire_log_pane"));
    hide_poll_->setObjectName(QStringLiteral("cb_hide_poll"));
    pause_->setObjectName(QStringLiteral("cmd_wire_log_pause"));
    pause_->setCheckable(true);
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("cmd_wire_log_clear"));
    auto* save = new QPushButton(QStringLiteral("Save As..."), this);
    save->setObjectName(QStringLiteral("cmd_wire_log_save"));
    auto* bound = new QLabel(QStringLiteral("Keeps the last %L1 rows.").arg(WireLog::kCapacity), this);
    bound->setObjectName(QStringLiteral("lb_wire_log_bound"));

    view_->setObjectName(QStringLiteral("wire_log_view"));
    view_->setAccessibleName(QStringLiteral("Wire log"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    // Fixed row heights keep a view of 100,000 rows quick.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    QHeaderView* columns = view_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const int digit = view_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    columns->resizeSection(WireLogModel::kTime, digit * 14);
    columns->resizeSection(WireLogModel::kDirection, digit * 11);
    columns->resizeSection(WireLogModel::kSource, digit * 9);

    auto* bar = new QHBoxLayout;
    bar->addWidget(hide_poll_);
    bar->addWidget(pause_);
    bar->addWidget(clear);
    bar->addWidget(save);
    bar->addStretch();
    bar->addWidget(bound);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(view_);

    connect(hide_poll_, &QCheckBox::toggled, this, [this](bool hide) {
        model_->set_hide_poll(hide);
        view_->scrollToBottom();
    });
    connect(pause_, &QPushButton::toggled, this, &WireLogPane::set_paused);
    connect(clear, &QPushButton::clicked, this, &WireLogPane::clear);
    connect(save, &QPushButton::clicked, this, &WireLogPane::save_as);
    refresh_timer_.setInterval(kRefreshMs);
    refresh_timer_.setSingleShot(true);
    connect(&refresh_timer_, &QTimer::timeout, this, &WireLogPane::refresh);
    connect(&log_, &WireLog::grew, this, [this] {
        if (isVisible() && !refresh_timer_.isActive())
            refresh_timer_.start();
    });
}

void WireLogPane::refresh()
{
    if (pause_->isChecked())
        return;
    // Follows the newest row only while the user is looking at the end.
    QScrollBar* scroll = view_->verticalScrollBar();
    const bool at_end = scroll->value() == scroll->maximum();
    model_->fetch();
    if (at_end)
        view_->scrollToBottom();
}

void WireLogPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void WireLogPane::hideEvent(QHideEvent* event)
{
    // Nothing to draw: the log keeps its rows and the pane takes them when
    // it is shown again.
    refresh_timer_.stop();
    QWidget::hideEvent(event);
}

void WireLogPane::set_paused(bool paused)
{
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused)
        refresh();
}

void WireLogPane::clear()
{
    log_.clear();
    model_->rebuild();
}

void WireLogPane::save_as()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Wire Log"), QString(),
                                                      QStringLiteral("Text files (*.txt *.log);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    // Everything the log keeps, also what a paused view has not shown yet;
    // the poll's rows stay out while they are hidden.
    if (!log_.save(path, model_->hides_poll() ? QStringLiteral("poll") : QString(), &error))
        show_message_box(this, QStringLiteral("The wire log could not be saved to %1: %2").arg(path, error));
}

}  // namespace mivo
