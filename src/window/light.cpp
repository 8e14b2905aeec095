#include "window/light.h"

#include <QPainter>

namespace mivo {

const QColor Light::kRed{255, 0, 0};
const QColor Light::kGreen{0, 255, 0};

Light::Light(const QString& caption, int diameter, QWidget* parent) : QWidget(parent), diameter_(diameter)
{
    setAccessibleName(caption);
    setAccessibleDescription(QStringLiteral("green"));
    setFixedSize(diameter, diameter);
}

void Light::setFillColor(const QColor& color)
{
    Q_ASSERT(color == kRed || color == kGreen);
    const bool changed = color != color_;
    color_ = color;
    setAccessibleDescription(isRed() ? QStringLiteral("red") : QStringLiteral("green"));
    if (changed)
        update();
}

QSize Light::sizeHint() const
{
    return {diameter_, diameter_};
}

void Light::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(color_);
    painter.drawEllipse(QRectF(0.5, 0.5, diameter_ - 1.0, diameter_ - 1.0));
}

}  // namespace mivo
