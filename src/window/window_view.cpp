#include "window/window_view.h"

#include "window/message_box.h"

#include <QMessageBox>

namespace mivo {

void WindowView::show_message(const QString& text)
{
    if (!closing_)
        show_message_box(&window_, text);
}

bool WindowView::ask(const QString& question)
{
    if (closing_)
        return false;
    QMessageBox box(QMessageBox::Question, QStringLiteral("MIVO UI"), question, QMessageBox::Yes | QMessageBox::No,
                    &window_);
    box.setObjectName(QStringLiteral("question"));
    box.setAccessibleName(question);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace mivo
