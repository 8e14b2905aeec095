#pragma once

#include <QColor>
#include <QWidget>

namespace mivo {

// A state light: a filled circle, only ever pure red or pure green. Its
// accessible description names the colour, so a screen reader (or a test
// robot) can read it.
class Light : public QWidget {
    Q_OBJECT
public:
    static const QColor kRed;
    static const QColor kGreen;

    Light(const QString& caption, int diameter, QWidget* parent = nullptr);

    void setFillColor(const QColor& color);
    QColor fillColor() const { return color_; }
    bool isRed() const { return color_ == kRed; }

    // Red for a set bit, green for a clear one.
    void show_bit(bool set) { setFillColor(set ? kRed : kGreen); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_ = kGreen;
    int diameter_;
};

}  // namespace mivo
