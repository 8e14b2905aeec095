#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace mivo {

// "Save Image...": the widgets drawn one under the other into a PNG or an
// SVG file, as the name chosen ends. Returns why it could not be written,
// else empty; the file is written whole or not at all.
QString save_image(const QString& path, const QList<QWidget*>& parts);

// Asks for the file (PNG or SVG) and saves; says so when that failed.
void ask_and_save_image(QWidget* parent, const QString& title, const QList<QWidget*>& parts);

}  // namespace mivo
