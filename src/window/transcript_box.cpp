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
    // The document drops its oldest lines itself, at constant cost.
    setMaximumBlockCount(kShownLines);
}

void TranscriptBox::setText(const QString& text)
{
    raw_.clear();
    ends_in_cr_ = false;
    shown_column_ = 0;
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
        const bool line_end = ends_in_cr_ || c == u'\n';
        if (!line_end && shown_column_ == kShownLineChars) {
            out += QChar(u'\n');
            shown_column_ = 0;
        }
        out += line_end ? QChar(u'\n') : c;
        shown_column_ = line_end ? 0 : shown_column_ + 1;
    }
    return out;
}

void TranscriptBox::append(const QString& text)
{
    raw_ += text;
    // Dropping the oldest text in steps of a quarter keeps appends O(1) on
    // average.
    if (raw_.size() > kKeptChars + kKeptChars / 4)
        raw_.remove(0, raw_.size() - kKeptChars);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown(text));
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace mivo
