#pragma once

#include <QString>

class QWidget;

namespace mivo {

// The one way the console tells the user something: a modal box with one
// line of text and an OK button, owned by the window. Returns when it is
// closed.
void show_message_box(QWidget* parent, const QString& text);

}  // namespace mivo
