#include "window/recorder_pane.h"

#include "console/recorder.h"
#include "window/image_export.h"
#include "window/message_box.h"
#include "window/recorder_chart_view.h"
#include "window/recorder_plot.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace mivo {

namespace {

// The lanes from the top, named as the lights are.
struct LaneBit {
    const char* label;
    bool input;  // a bit of the input word, else of the state word
    int bit;
};
constexpr LaneBit kLaneBits[RecorderPane::kLanes] = {
    {"SVON", false, 2}, {"PL", false, 5},  {"HOME", false, 6}, {"MF", false, 0},
    {"Fault", false, 1}, {"DIR", false, 3}, {"NL", false, 4},   {"DO", false, 7},
    {"DI1", true, 0},   {"DI2", true, 1},  {"DI3", true, 2},   {"NL (DI)", true, 3},
};
// Lane i spans [kLanes - 1 - i, kLanes - i) on its axis.
double lane_base(int i)
{
    return RecorderPane::kLanes - 1 - i;
}
constexpr double kReadLow = 0.15, kReadHigh = 0.3, kOnHigh = 0.85;
// More separate stretches of position than this in one view are drawn
// joined from there on: a line for every gap would not be readable anyway.
constexpr int kMaxRuns = 64;

const QColor kLit(255, 0, 0);  // as a lit light
const QColor kRead(190, 190, 190);
const QColor kPosition(0, 70, 170);
const std::array<QColor, 2> kCursorColours{QColor(0, 150, 0), QColor(200, 110, 0)};

QFont small_font()
{
    QFont f;
    f.setPointSizeF(7.5);
    return f;
}

QChart* new_chart()
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins({});
    chart->setBackgroundRoundness(0);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QDateTimeAxis* time_axis(QChart* chart, bool labels)
{
    auto* axis = new QDateTimeAxis;
    axis->setFormat(QStringLiteral("hh:mm:ss"));
    axis->setTickCount(5);
    axis->setLabelsFont(small_font());
    axis->setLabelsVisible(labels);
    chart->addAxis(axis, Qt::AlignBottom);
    return axis;
}

QLineSeries* attached_line(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QColor& colour, qreal width)
{
    auto* s = new QLineSeries;
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
    QPen pen(colour);
    pen.setWidthF(width);
    s->setPen(pen);
    return s;
}

QString clock_text(qint64 t)
{
    return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("hh:mm:ss.zzz"));
}

}  // namespace

RecorderPane::RecorderPane(Recorder& recorder, QWidget* parent)
    : QWidget(parent), recorder_(recorder), follow_(new QPushButton(QStringLiteral("Follow"), this)),
      readout_(new QLabel(this))
{
    setObjectName(QStringLiteral("recorder_pane"));
    follow_->setObjectName(QStringLiteral("cmd_recorder_follow"));
    follow_->setCheckable(true);
    follow_->setChecked(true);
    follow_->setToolTip(QStringLiteral("Keep the newest sample in view"));
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("cmd_recorder_clear"));
    auto* save = new QPushButton(QStringLiteral("Export CSV..."), this);
    save->setObjectName(QStringLiteral("cmd_recorder_export"));
    auto* image = new QPushButton(QStringLiteral("Save Image..."), this);
    image->setObjectName(QStringLiteral("cmd_recorder_save_image"));
    readout_->setObjectName(QStringLiteral("lb_recorder_cursors"));
    auto* hint = new QLabel(QStringLiteral("Wheel zooms, drag pans; click sets cursor A, right-click cursor B.\n"
                                           "Keeps the last 24 hours (%L1 samples).")
                                .arg(Recorder::kCapacity),
                            this);
    hint->setObjectName(QStringLiteral("lb_recorder_hint"));

    build_position_chart();
    build_lanes_chart();

    auto* bar = new QHBoxLayout;
    bar->addWidget(follow_);
    bar->addWidget(clear);
    bar->addWidget(save);
    bar->addWidget(image);
    bar->addWidget(readout_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(position_view_, 5);
    layout->addWidget(lanes_view_, 6);
    layout->addWidget(hint);

    for (RecorderChartView* v : {position_view_, lanes_view_}) {
        connect(v, &RecorderChartView::wheeled, this, &RecorderPane::zoom);
        connect(v, &RecorderChartView::dragged, this, &RecorderPane::pan);
        connect(v, &RecorderChartView::clicked, this, [this](double f, bool second) {
            place_cursor(second, begin_ + qint64(std::llround(f * double(end_ - begin_))));
        });
        connect(v, &RecorderChartView::resized, this, [this] { schedule_refresh(kResizeRefreshMs); });
    }
    connect(follow_, &QPushButton::toggled, this, &RecorderPane::set_follow);
    connect(clear, &QPushButton::clicked, this, &RecorderPane::clear);
    connect(save, &QPushButton::clicked, this, &RecorderPane::export_csv);
    connect(image, &QPushButton::clicked, this, [this] {
        ask_and_save_image(this, QStringLiteral("Save Image"), {position_view_, lanes_view_});
    });

    refresh_timer_.setSingleShot(true);
    connect(&refresh_timer_, &QTimer::timeout, this, &RecorderPane::refresh);
    follow_end();
    update_cursors();
}

void RecorderPane::build_position_chart()
{
    position_chart_ = new_chart();
    position_time_ = time_axis(position_chart_, false);
    position_axis_ = new QValueAxis;
    position_axis_->setTitleText(QStringLiteral("Position"));
    position_axis_->setTitleFont(small_font());
    position_axis_->setLabelsFont(small_font());
    position_axis_->setLabelFormat(QStringLiteral("%.0f"));
    position_chart_->addAxis(position_axis_, Qt::AlignLeft);
    for (int i = 0; i < 2; ++i)
        position_cursor_[i] = attached_line(position_chart_, position_time_, position_axis_, kCursorColours[i], 1);
    position_view_ = new RecorderChartView(position_chart_, 6, 6, this);
    position_view_->setObjectName(QStringLiteral("recorder_position_chart"));
    position_view_->setAccessibleName(QStringLiteral("Position over time"));
    position_view_->setMinimumHeight(140);
}

void RecorderPane::build_lanes_chart()
{
    lanes_chart_ = new_chart();
    lanes_time_ = time_axis(lanes_chart_, true);
    lanes_axis_ = new QCategoryAxis;
    lanes_axis_->setLabelsFont(small_font());
    lanes_axis_->setRange(0, kLanes);
    // Each label on the middle of its lane. Categories run upwards: the
    // bottom lane comes first.
    lanes_axis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    lanes_axis_->setGridLineVisible(false);
    for (int i = kLanes - 1; i >= 0; --i)
        lanes_axis_->append(QLatin1String(kLaneBits[i].label), lane_base(i) + 0.5);
    lanes_chart_->addAxis(lanes_axis_, Qt::AlignLeft);
    for (int i = 0; i < kLanes; ++i) {
        Lane& lane = lanes_[std::size_t(i)];
        const auto area = [&](QLineSeries*& edge, QLineSeries*& base, const QColor& colour) {
            edge = new QLineSeries(lanes_chart_);
            base = new QLineSeries(lanes_chart_);
            auto* a = new QAreaSeries(edge, base);
            a->setPen(Qt::NoPen);
            a->setBrush(colour);
            lanes_chart_->addSeries(a);
            a->attachAxis(lanes_time_);
            a->attachAxis(lanes_axis_);
        };
        area(lane.read_edge, lane.bases[0], kRead);
        area(lane.on_edge, lane.bases[1], kLit);
    }
    for (int i = 0; i < 2; ++i)
        lanes_cursor_[i] = attached_line(lanes_chart_, lanes_time_, lanes_axis_, kCursorColours[i], 1);
    // Below the plot: the time labels.
    lanes_view_ = new RecorderChartView(lanes_chart_, 4, 24, this);
    lanes_view_->setObjectName(QStringLiteral("recorder_lanes_chart"));
    lanes_view_->setAccessibleName(QStringLiteral("State and input bits over time"));
    // Room for every lane's label: the chart leaves out the labels of
    // lanes narrower than about 20 pixels.
    lanes_view_->setMinimumHeight(kLanes * 22 + 40);
}

QLineSeries* RecorderPane::position_series(int run)
{
    while (position_runs_.size() <= run) {
        QLineSeries* s = attached_line(position_chart_, position_time_, position_axis_, kPosition, 1.5);
        s->setMarkerSize(4);
        position_runs_.append(s);
    }
    return position_runs_[run];
}

bool RecorderPane::following() const
{
    return follow_->isChecked();
}

void RecorderPane::sample_added()
{
    if (following())
        schedule_refresh(kFollowRefreshMs);
}

void RecorderPane::schedule_refresh(int ms)
{
    // A refresh already due sooner takes this one in.
    if (isVisible() && (!refresh_timer_.isActive() || refresh_timer_.remainingTime() > ms))
        refresh_timer_.start(ms);
}

void RecorderPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void RecorderPane::follow_end()
{
    const qint64 span = end_ > begin_ ? end_ - begin_ : kStartSpanMs;
    const qint64 newest = recorder_.size() ? recorder_.at(recorder_.size() - 1).msecs_since_epoch
                                           : recorder_.now();
    // A little room after the newest sample, so that it is not on the edge.
    end_ = newest + span / 50;
    begin_ = end_ - span;
}

void RecorderPane::refresh()
{
    refresh_timer_.stop();
    if (following())
        follow_end();
    const int columns = int(position_view_->plot_width());
    const QList<recorder_plot::Cell> cells = recorder_plot::cells(recorder_, begin_, end_, columns);

    // Position: a line for each stretch without a gap; a stretch of one
    // sample shows as a dot.
    QList<QList<QPointF>> runs = recorder_plot::position_runs(cells);
    if (runs.size() > kMaxRuns) {
        for (qsizetype i = kMaxRuns; i < runs.size(); ++i)
            runs[kMaxRuns - 1] += runs[i];
        runs.resize(kMaxRuns);
    }
    double low = 0, high = 0;
    bool any = false;
    for (int i = 0; i < std::max<int>(int(runs.size()), int(position_runs_.size())); ++i) {
        QLineSeries* s = position_series(i);
        const QList<QPointF> points = i < runs.size() ? runs[i] : QList<QPointF>();
        if (points.isEmpty() && s->count() == 0)
            continue;  // a spare line of the pool, empty already
        for (const QPointF& p : points) {
            low = any ? std::min(low, p.y()) : p.y();
            high = any ? std::max(high, p.y()) : p.y();
            any = true;
        }
        s->setPointsVisible(points.size() == 1);
        s->replace(points);
    }
    const double margin = std::max(1.0, (high - low) * 0.05);
    position_axis_->setRange(low - margin, high + margin);

    for (int i = 0; i < kLanes; ++i) {
        const LaneBit& b = kLaneBits[i];
        const double base = lane_base(i);
        const auto read = [&b](const recorder_plot::Cell& c) { return b.input ? c.inputs.has_value() : c.state.has_value(); };
        const auto lit = [&b](const recorder_plot::Cell& c) {
            const std::optional<quint32> word = b.input ? std::optional<quint32>(c.inputs) : c.state;
            return word && ((*word >> b.bit) & 1u);
        };
        Lane& lane = lanes_[std::size_t(i)];
        lane.read_edge->replace(recorder_plot::steps(cells, read, base + kReadLow, base + kReadHigh));
        lane.on_edge->replace(recorder_plot::steps(cells, lit, base + kReadLow, base + kOnHigh));
        for (QLineSeries* s : lane.bases)
            s->replace({QPointF(double(begin_), base + kReadLow), QPointF(double(end_), base + kReadLow)});
    }

    for (QDateTimeAxis* axis : {position_time_, lanes_time_})
        axis->setRange(QDateTime::fromMSecsSinceEpoch(begin_), QDateTime::fromMSecsSinceEpoch(end_));
    update_cursors();
}

void RecorderPane::show_span(qint64 begin, qint64 end)
{
    const qint64 span = std::clamp(end - begin, kMinSpanMs, kMaxSpanMs);
    begin_ = begin;
    end_ = begin + span;
    follow_->setChecked(false);
    refresh();
}

void RecorderPane::zoom(double fraction, double steps)
{
    // A step away from the user shows a fifth less time, around the pointer.
    const double factor = std::pow(0.8, steps);
    const double anchor = double(begin_) + std::clamp(fraction, 0.0, 1.0) * double(end_ - begin_);
    const double span = std::clamp(double(end_ - begin_) * factor, double(kMinSpanMs), double(kMaxSpanMs));
    const double begin = anchor - (anchor - double(begin_)) * span / double(end_ - begin_);
    show_span(qint64(std::llround(begin)), qint64(std::llround(begin + span)));
}

void RecorderPane::pan(double by)
{
    const qint64 shift = qint64(std::llround(by * double(end_ - begin_)));
    show_span(begin_ - shift, end_ - shift);
}

void RecorderPane::set_follow(bool follow)
{
    if (follow)
        refresh();
}

void RecorderPane::place_cursor(bool second, qint64 t)
{
    cursors_[second ? 1 : 0] = t;
    update_cursors();
}

QString RecorderPane::cursor_text() const
{
    if (!cursors_[0] && !cursors_[1])
        return QStringLiteral("No cursors");
    const auto at = [this](int i) {
        return cursors_[i] ? clock_text(*cursors_[i]) : QStringLiteral("-");
    };
    QString text = QStringLiteral("A %1   B %2").arg(at(0), at(1));
    if (cursors_[0] && cursors_[1]) {
        const qint64 dt = *cursors_[1] - *cursors_[0];
        const std::optional<double> a = recorder_plot::position_at(recorder_, *cursors_[0]);
        const std::optional<double> b = recorder_plot::position_at(recorder_, *cursors_[1]);
        text += QStringLiteral("   \u0394t %1 s   \u0394position %2")
                    .arg(QString::number(double(dt) / 1000.0, 'f', 3),
                         a && b ? QString::number(*b - *a, 'g', 15) : QStringLiteral("-"));
    }
    return text;
}

void RecorderPane::update_cursors()
{
    for (int i = 0; i < 2; ++i) {
        QList<QPointF> position_line, lanes_line;
        if (cursors_[i]) {
            const double x = double(*cursors_[i]);
            position_line = {QPointF(x, position_axis_->min()), QPointF(x, position_axis_->max())};
            lanes_line = {QPointF(x, 0), QPointF(x, kLanes)};
        }
        position_cursor_[i]->replace(position_line);
        lanes_cursor_[i]->replace(lanes_line);
    }
    readout_->setText(cursor_text());
}

void RecorderPane::clear()
{
    recorder_.clear();
    cursors_ = {};
    refresh();
}

void RecorderPane::export_csv()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!recorder_.save_csv(path, &error))
        show_message_box(this, QStringLiteral("The samples could not be exported to %1: %2").arg(path, error));
}

}  // namespace mivo
