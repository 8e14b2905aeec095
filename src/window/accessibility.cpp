#include "window/accessibility.h"

#include "window/form1.h"
#include "window/light.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace mivo {

namespace {

QAccessibleInterface* console_accessible(const QString& class_name, QObject* object)
{
    if (!object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (class_name == QLatin1String(Form1::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (class_name == QLatin1String(Light::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

}  // namespace

void install_accessibility_roles()
{
    static const bool installed = [] {
        QAccessible::installFactory(console_accessible);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace mivo
