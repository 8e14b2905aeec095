#pragma once

#include <QLabel>

namespace mivo {

// A box showing a value written by the program: white, single border, not
// editable. Its text is its accessible name; its caption the description.
class ValueBox : public QLabel {
    Q_OBJECT
public:
    ValueBox(const QString& caption, Qt::Alignment alignment, QWidget* parent = nullptr);
};

}  // namespace mivo
