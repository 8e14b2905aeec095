#pragma once

#include <QChartView>

namespace mivo {

// One of the recorder's charts: the wheel, a drag and a click are told in
// fractions of its plot area's width.
class RecorderChartView : public QChartView {
    Q_OBJECT
public:
    explicit RecorderChartView(QChart* chart, QWidget* parent = nullptr);

    // Where x lies across the plot area: 0 at its left edge, 1 at its right.
    double fraction_at(double x) const;
    double plot_width() const;

signals:
    // Wheel turned by steps (positive: away from the user) over fraction.
    void wheeled(double fraction, double steps);
    // Dragged by this part of the plot's width (positive: to the right).
    void dragged(double by);
    // Clicked without dragging; second for the right button.
    void clicked(double fraction, bool second);
    void resized();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool pressed_ = false;
    bool dragging_ = false;
    double press_x_ = 0;
    double last_x_ = 0;
};

}  // namespace mivo
