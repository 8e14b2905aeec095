#pragma once

#include <QPlainTextEdit>

namespace mivo {

// The terminal's transcript: a read-only, many-line box that keeps the text
// exactly as sent and received (the drive ends its lines with a CR alone)
// while showing each CR, LF or CR LF as one line break. Text is appended at
// the end, so a long session costs no more per exchange than a short one.
class TranscriptBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TranscriptBox(QWidget* parent = nullptr);

    const QString& text() const { return raw_; }
    void setText(const QString& text);
    // Appends at the end and puts the caret there, so the newest text is in view.
    void append(const QString& text);

private:
    QString shown(const QString& raw);

    QString raw_;
    bool ends_in_cr_ = false;
};

}  // namespace mivo
