#include "window/layout.h"

#include "window/light.h"
#include "window/value_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace mivo::layout {

namespace {
constexpr int kLightDiameter = 25;
constexpr int kLightCaptionWidth = 50;
constexpr int kCaptionHeight = 20;

template <typename W>
W* place(W* widget, const QString& name, QRect geometry)
{
    widget->setObjectName(name);
    widget->setFont(ui_font());
    widget->setGeometry(geometry);
    return widget;
}
}  // namespace

QFont ui_font(qreal point_size)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(point_size);
    font.setBold(true);
    return font;
}

QString member_name(const char* array_name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(array_name)).arg(index);
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, QRect geometry, Qt::Alignment alignment)
{
    auto* l = place(new QLabel(text, parent), name, geometry);
    l->setAlignment(alignment | Qt::AlignVCenter);
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    return place(new QPushButton(caption, parent), name, geometry);
}

QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, QRect geometry, QLabel* caption)
{
    auto* e = place(new QLineEdit(text, parent), name, geometry);
    if (caption) {
        caption->setBuddy(e);
        e->setAccessibleName(caption->text());
    }
    return e;
}

QComboBox* combo(QWidget* parent, const QString& name, QRect geometry, QLabel* caption)
{
    auto* c = place(new QComboBox(parent), name, geometry);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is what is sent: with 0, 5, 32 listed, a typed "3" must
    // not grow into "32" and put every drive on the line into broadcast.
    c->setCompleter(nullptr);
    c->lineEdit()->setFont(c->font());
    if (caption) {
        caption->setBuddy(c);
        // Screen readers name a combo box by its current text; its text
        // field carries the caption, so that it can be found by it.
        c->setAccessibleName(caption->text());
        c->lineEdit()->setAccessibleName(caption->text());
    }
    return c;
}

QCheckBox* check(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    auto* c = place(new QCheckBox(caption, parent), name, geometry);
    c->setChecked(true);
    return c;
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    auto* f = place(new QGroupBox(caption, parent), name, geometry);
    // A nested frame would otherwise report the caption of the one around it.
    f->setAccessibleName(caption);
    f->setStyleSheet(QStringLiteral("QGroupBox::title { color: rgb(0, 0, 255); }"));
    return f;
}

ValueBox* value_box(QWidget* parent, const QString& name, const QString& caption, QRect geometry,
                    Qt::Alignment alignment)
{
    return place(new ValueBox(caption, alignment, parent), name, geometry);
}

Light* light(QWidget* parent, const QString& name, const QString& label_name, const QString& caption,
             QPoint centre, int label_top)
{
    auto* above = label(parent, label_name, caption,
                        QRect(centre.x() - kLightCaptionWidth / 2, label_top, kLightCaptionWidth, kCaptionHeight),
                        Qt::AlignHCenter);
    auto* l = new Light(caption, kLightDiameter, parent);
    above->setBuddy(l);
    l->setObjectName(name);
    l->move(centre.x() - kLightDiameter / 2, centre.y() - kLightDiameter / 2);
    return l;
}

}  // namespace mivo::layout
