#include "window/value_box.h"

namespace mivo {

ValueBox::ValueBox(const QString& caption, Qt::Alignment alignment, QWidget* parent) : QLabel(parent)
{
    setText(QStringLiteral("0"));
    setAlignment(alignment | Qt::AlignVCenter);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setAccessibleDescription(caption);
}

}  // namespace mivo
