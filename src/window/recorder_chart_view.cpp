#include "window/recorder_chart_view.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace mivo {

namespace {
// A press that moves less than this is a click.
constexpr double kDragStartPx = 4;
}

RecorderChartView::RecorderChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent)
{
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(false);
}

double RecorderChartView::plot_width() const
{
    return std::max(1.0, chart()->plotArea().width());
}

double RecorderChartView::fraction_at(double x) const
{
    return (x - chart()->plotArea().left()) / plot_width();
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
    emit resized();
}

}  // namespace mivo
