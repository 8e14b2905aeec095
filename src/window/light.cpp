#include "window/light.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace mivo {

const QColor Light::kRed{255, 0, 0};
const QColor Light::kGreen{0, 255, 0};

namespace {

QAccessibleInterface* light_accessible(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String(Light::staticMetaObject.className()) && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

}  // namespace

Light::Light(const QString& caption, int diameter, QWidget* parent) : QWidget(parent), diameter_(diameter)
{
    static const bool factory_installed = [] {
        QAccessible::installFactory(light_accessible);
        return true;
    }();
    Q_UNUSED(factory_installed);

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
