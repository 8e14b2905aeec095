#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace mivo {

struct Form1Controls;
class Light;
class ValueBox;

// Small builders for the window's controls: every control gets its name as
// objectName, the console's font, and its accessible name where a caption
// labels it. Geometry is in pixels at 96 dpi, relative to the parent.
namespace layout {

inline constexpr qreal kFontPt = 12;
inline constexpr qreal kTabFontPt = 11.25;
inline constexpr qreal kMotionCaptionPt = 14.25;
inline constexpr qreal kVersionFontPt = 9.75;

QFont ui_font(qreal point_size = kFontPt);
QString member_name(const char* array_name, int index);

QLabel* label(QWidget* parent, const QString& name, const QString& text, QRect geometry,
              Qt::Alignment alignment = Qt::AlignLeft);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect geometry);
QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, QRect geometry, QLabel* caption);
QComboBox* combo(QWidget* parent, const QString& name, QRect geometry, QLabel* caption);
QCheckBox* check(QWidget* parent, const QString& name, const QString& caption, QRect geometry);
QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, QRect geometry);
ValueBox* value_box(QWidget* parent, const QString& name, const QString& caption, QRect geometry,
                    Qt::Alignment alignment);
// A light with its caption label centred above it.
Light* light(QWidget* parent, const QString& name, const QString& label_name, const QString& caption,
             QPoint centre, int label_top);

void build_communication_frame(QWidget* form, Form1Controls& c);
void build_states_frame(QWidget* form, Form1Controls& c);
void build_terminal_page(QWidget* page, Form1Controls& c);
void build_motion_page(QWidget* page, Form1Controls& c);
void build_setup_page(QWidget* page, Form1Controls& c);
void build_config_page(QWidget* page, Form1Controls& c);

}  // namespace layout
}  // namespace mivo
