#include "window/transcript_box.h"

#include <QScrollBar>
#include <QTextCursor>

namespace mivo {

TranscriptBox::TranscriptBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
}

void TranscriptBox::setText(const QString& text)
{
    raw_.clear();
    ends_in_cr_ = false;
    clear();
    append(text);
}

QString TranscriptBox::shown(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    for (QChar c : raw) {
        if (c == u'\n' && ends_in_cr_) {
            ends_in_cr_ = false;
            continue;  // second half of a CR LF
        }
        ends_in_cr_ = c == u'\r';
        out += ends_in_cr_ ? QChar(u'\n') : c;
    }
    return out;
}

void TranscriptBox::append(const QString& text)
{
    raw_ += text;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown(text));
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace mivo
