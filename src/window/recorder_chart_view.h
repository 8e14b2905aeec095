#pragma once

#include <QChartView>

namespace mivo {

// One of the recorder's charts. Its plot area keeps fixed distances from the
// left and right edges, so that charts stacked above one another share
// their time scale (a layout that followed the labels could make two charts
// chase each other's margins for ever); the wheel, a drag and a click are
// told in fractions of the plot area's width.
class RecorderChartView : public QChartView {
    Q_OBJECT
public:
    // Room for the value labels on the left, and for the last time label.
    static constexpr int kLeft = 88;
    static constexpr int kRight = 24;

    // top and bottom: the room above and below the plot area.
    RecorderChartView(QChart* chart, int top, int bottom, QWidget* parent = nullptr);

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
    int top_;
    int bottom_;
    bool pressed_ = false;
    bool dragging_ = false;
    double press_x_ = 0;
    double last_x_ = 0;
};

}  // namespace mivo
