#include "window/image_export.h"

#include "window/message_box.h"

#include <QFileDialog>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QWidget>

namespace mivo {

namespace {

QSize stacked_size(const QList<QWidget*>& parts)
{
    QSize size;
    for (const QWidget* w : parts)
        size = QSize(std::max(size.width(), w->width()), size.height() + w->height());
    return size;
}

void paint_stacked(QPainter& painter, const QList<QWidget*>& parts)
{
    int y = 0;
    for (QWidget* w : parts) {
        w->render(&painter, QPoint(0, y), QRegion(), QWidget::DrawChildren);
        y += w->height();
    }
}

}  // namespace

QString save_image(const QString& path, const QList<QWidget*>& parts)
{
    const QSize size = stacked_size(parts);
    if (size.isEmpty())
        return QStringLiteral("there is nothing to draw");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        QPainter painter(&svg);
        paint_stacked(painter, parts);
        painter.end();
    } else {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        paint_stacked(painter, parts);
        painter.end();
        if (!image.save(&file, "PNG")) {
            file.cancelWriting();
            return file.errorString().isEmpty() ? QStringLiteral("the image could not be written") : file.errorString();
        }
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void ask_and_save_image(QWidget* parent, const QString& title, const QList<QWidget*>& parts)
{
    QString filter = QStringLiteral("PNG image (*.png)");
    QString path = QFileDialog::getSaveFileName(parent, title, QString(),
                                                QStringLiteral("PNG image (*.png);;SVG image (*.svg)"), &filter);
    if (path.isEmpty())
        return;
    // The kind follows the filter when the name has no ending of its own.
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
        && !path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        path += filter.contains(QStringLiteral("svg")) ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (const QString error = save_image(path, parts); !error.isEmpty())
        show_message_box(parent, QStringLiteral("The image could not be saved to %1: %2").arg(path, error));
}

}  // namespace mivo
