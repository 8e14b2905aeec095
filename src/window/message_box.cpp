#include "window/message_box.h"

#include <QMessageBox>

namespace mivo {

void show_message_box(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("MIVO UI"), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("message"));
    // The title says nothing; let a screen reader announce the message.
    box.setAccessibleName(text);
    box.setAccessibleDescription(text);
    box.exec();
}

}  // namespace mivo
