#include "window/recorder_chart_view.h"

#include <QGraphicsLayout>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace mivo {

namespace {
// A press that moves less than this is a click.
constexpr double kDragStartPx = 4;
}

RecorderChartView::RecorderChartView(QChart* chart, int top, int bottom, QWidget* parent)
    : QChartView(chart, parent), top_(top), bottom_(bottom)
{
    setRubberBand(QChartView::NoRubberBand);
    // The chart's own backgrounds keep the size they had before a plot area
    // set by hand; the view draws one instead.
    chart->setBackgroundVisible(false);
    chart->setPlotAreaBackgroundVisible(false);
    setBackgroundBrush(Qt::white);
    setMouseTracking(false);
}

double RecorderChartView::plot_width() const
{
    return std::max(1.0, double(width() - kLeft - kRight));
}

double RecorderChartView::fraction_at(double x) const
{
    return (x - kLeft) / plot_width();
}

void RecorderChartView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        emit wheeled(fraction_at(event->position().x()), steps);
    event->accept();
}

void RecorderChartView::mousePressEvent(QMouseEvent* event)
{
    pressed_ = true;
    dragging_ = false;
    press_x_ = last_x_ = event->position().x();
    event->accept();
}

void RecorderChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_ || !(event->buttons() & Qt::LeftButton))
        return;
    const double x = event->position().x();
    if (!dragging_ && std::abs(x - press_x_) < kDragStartPx)
        return;
    dragging_ = true;
    emit dragged((x - last_x_) / plot_width());
    last_x_ = x;
    event->accept();
}

void RecorderChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (pressed_ && !dragging_) {
        const double f = fraction_at(event->position().x());
        if (f >= 0 && f <= 1)
            emit clicked(f, event->button() == Qt::RightButton);
    }
    pressed_ = dragging_ = false;
    event->accept();
}

void RecorderChartView::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    // A plot area set by hand reaches the axes only through a new layout.
    chart()->setPlotArea(QRectF(kLeft, top_, plot_width(), std::max(1, height() - top_ - bottom_)));
    chart()->layout()->invalidate();
    emit resized();
}

}  // namespace mivo
