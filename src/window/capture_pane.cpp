#include "window/capture_pane.h"

#include "console/console.h"
#include "console/move_capture.h"
#include "console/trace_file.h"
#include "window/image_export.h"
#include "window/message_box.h"

#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace mivo {

namespace {

// Told apart also in print: no two neighbours alike.
const std::array<QColor, CapturePane::kRuns> kColours{
    QColor(0, 70, 170), QColor(210, 60, 20), QColor(0, 140, 60), QColor(140, 40, 160),
    QColor(200, 140, 0), QColor(0, 150, 170), QColor(120, 80, 40), QColor(90, 90, 90),
};

// The figures' columns, named as the move's JSON document names them.
const char* const kColumns[] = {"run",          "reached",          "rise_ms (ms)", "overshoot (counts)",
                                "settling_ms (ms)", "peak_speed (counts/s)", "samples", "rate_hz (Hz)"};

QString figure(const std::optional<double>& v, int decimals)
{
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}

QLineEdit* field(QWidget* parent, const char* name, const char* caption, const QString& text)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(QLatin1String(caption));
    edit->setMaximumWidth(110);
    return edit;
}

}  // namespace

CapturePane::CapturePane(Console& console, QWidget* parent)
    : QWidget(parent),
      console_(console),
      target_(field(this, "tx_capture_target", "Target", QStringLiteral("1000"))),
      speed_(field(this, "tx_capture_speed", "Speed", QStringLiteral("2"))),
      tolerance_(field(this, "tx_capture_tolerance", "Tolerance", QStringLiteral("0"))),
      capture_(new QPushButton(QStringLiteral("Capture"), this)),
      export_(new QPushButton(QStringLiteral("Export CSV..."), this)),
      message_(new QLabel(this)),
      chart_(new QChart),
      chart_view_(new QChartView(chart_, this)),
      time_axis_(new QValueAxis),
      position_axis_(new QValueAxis),
      table_(new QTableWidget(0, int(std::size(kColumns)), this))
{
    setObjectName(QStringLiteral("capture_pane"));
    capture_->setObjectName(QStringLiteral("cmd_capture"));
    capture_->setEnabled(false);
    export_->setObjectName(QStringLiteral("cmd_capture_export"));
    export_->setEnabled(false);
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("cmd_capture_clear"));
    auto* image = new QPushButton(QStringLiteral("Save Image..."), this);
    image->setObjectName(QStringLiteral("cmd_capture_save_image"));
    message_->setObjectName(QStringLiteral("lb_capture_message"));
    message_->setWordWrap(true);

    chart_view_->setObjectName(QStringLiteral("capture_chart"));
    chart_view_->setRenderHint(QPainter::Antialiasing);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    time_axis_->setTitleText(QStringLiteral("ms from \"MA\""));
    position_axis_->setTitleText(QStringLiteral("Position"));
    chart_->addAxis(time_axis_, Qt::AlignBottom);
    chart_->addAxis(position_axis_, Qt::AlignLeft);

    table_->setObjectName(QStringLiteral("capture_table"));
    table_->setAccessibleName(QStringLiteral("Capture runs"));
    QStringList headers;
    for (const char* c : kColumns)
        headers << QLatin1String(c);
    table_->setHorizontalHeaderLabels(headers);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* inputs = new QHBoxLayout;
    for (const auto& [caption, edit] : {std::pair{"Target", target_}, {"Speed", speed_}, {"Tolerance", tolerance_}}) {
        auto* label = new QLabel(QLatin1String(caption), this);
        label->setBuddy(edit);
        inputs->addWidget(label);
        inputs->addWidget(edit);
    }
    inputs->addWidget(capture_);
    inputs->addStretch();
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(chart_view_);
    split->addWidget(table_);
    // The table's many columns must not squeeze the plot: the split goes by
    // the stretch factors, the table scrolls.
    table_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    chart_view_->setMinimumWidth(320);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* bar = new QHBoxLayout;
    bar->addWidget(clear);
    bar->addWidget(export_);
    bar->addWidget(image);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(inputs);
    layout->addWidget(message_);
    layout->addWidget(split, 1);
    layout->addLayout(bar);

    connect(capture_, &QPushButton::clicked, this, &CapturePane::capture);
    connect(clear, &QPushButton::clicked, this, &CapturePane::clear);
    connect(export_, &QPushButton::clicked, this, &CapturePane::export_csv);
    connect(image, &QPushButton::clicked, this,
            [this] { ask_and_save_image(this, QStringLiteral("Save Image"), {chart_view_}); });
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { export_->setEnabled(selected_run() >= 0); });
    // Usable as the "Drive" menu is: the rules decide that, the pane follows.
    const auto follow = [this](const Availability::State& s) { capture_->setEnabled(s.drive_menu); };
    connect(&console_.state(), &ConsoleState::availability_changed, this, follow);
    if (console_.state().availability())
        follow(*console_.state().availability());
}

QString CapturePane::message() const
{
    return message_->text();
}

void CapturePane::capture()
{
    message_->clear();
    const QPointer<CapturePane> alive(this);
    MoveCapture capture(console_.context(), console_.operations());
    const MoveCapture::Outcome out = capture.capture(target_->text(), speed_->text(), tolerance_->text());
    // The window may have gone while the move ran.
    if (!alive)
        return;
    message_->setText(out.problem);
    if (!out.trace || out.trace->samples.isEmpty())
        return;
    Run run;
    run.number = next_number_++;
    run.target = out.target;
    run.reached = out.trace->reached;
    run.samples = out.trace->samples;
    run.metrics = out.trace->metrics;
    add_run(std::move(run));
}

void CapturePane::add_run(Run run)
{
    if (runs_.size() >= kRuns) {
        chart_->removeSeries(runs_.first().series);
        delete runs_.first().series;
        runs_.removeFirst();
    }
    // The colour no run shown has.
    for (const QColor& c : kColours)
        if (std::none_of(runs_.begin(), runs_.end(), [&](const Run& r) { return r.colour == c; })) {
            run.colour = c;
            break;
        }
    run.series = new QLineSeries;
    run.series->setName(QStringLiteral("%1: to %2").arg(run.number).arg(run.target));
    run.series->setColor(run.colour);
    QList<QPointF> points;
    for (const TraceSample& s : run.samples)
        points << QPointF(s.time_ms, s.position);
    run.series->replace(points);
    chart_->addSeries(run.series);
    run.series->attachAxis(time_axis_);
    run.series->attachAxis(position_axis_);
    runs_.append(std::move(run));
    rescale();
    show_table();
    table_->selectRow(int(runs_.size()) - 1);
}

void CapturePane::rescale()
{
    if (runs_.isEmpty())
        return;
    double t0 = 0, t1 = 1, lo = runs_.first().target, hi = lo;
    for (const Run& r : std::as_const(runs_))
        for (const TraceSample& s : r.samples) {
            t0 = std::min(t0, s.time_ms);
            t1 = std::max(t1, s.time_ms);
            lo = std::min(lo, s.position);
            hi = std::max(hi, s.position);
        }
    const double margin = std::max(1.0, (hi - lo) * 0.05);
    time_axis_->setRange(t0, t1);
    position_axis_->setRange(lo - margin, hi + margin);
}

void CapturePane::show_table()
{
    table_->setRowCount(int(runs_.size()));
    for (int row = 0; row < runs_.size(); ++row) {
        const Run& r = runs_[row];
        const TraceMetrics& m = r.metrics;
        const QStringList cells{QStringLiteral("%1: to %2").arg(r.number).arg(r.target),
                                r.reached ? QStringLiteral("yes") : QStringLiteral("no"),
                                figure(m.rise_ms, 1),
                                figure(m.overshoot, 0),
                                figure(m.settling_ms, 1),
                                figure(m.peak_speed, 0),
                                QString::number(m.samples),
                                figure(m.rate_hz, 1)};
        for (int col = 0; col < cells.size(); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (col == 0)
                item->setData(Qt::DecorationRole, r.colour);
            else
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, col, item);
        }
    }
}

void CapturePane::clear()
{
    for (const Run& r : std::as_const(runs_)) {
        chart_->removeSeries(r.series);
        delete r.series;
    }
    runs_.clear();
    table_->setRowCount(0);
    message_->clear();
    export_->setEnabled(false);
}

int CapturePane::selected_run() const
{
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

void CapturePane::export_csv()
{
    const int row = selected_run();
    if (row < 0 || row >= runs_.size())
        return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    if (const QString error = trace_file::write(path, runs_[row].samples); !error.isEmpty())
        show_message_box(this, QStringLiteral("The run could not be exported: %1").arg(error));
}

}  // namespace mivo
