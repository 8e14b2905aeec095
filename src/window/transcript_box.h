#pragma once

#include <QPlainTextEdit>

namespace mivo {

// The terminal's transcript: a read-only, many-line box that keeps the text
// exactly as sent and received (the drive ends its lines with a CR alone)
// while showing each CR, LF or CR LF as one line break. Text is appended at
// the end, so a long session costs no more per exchange than a short one.
//
// Like a terminal it has a scrollback: the stored text keeps its last
// kKeptChars characters and the pane its last kShownLines lines; older text
// is dropped. A run longer than kShownLineChars without a line end is shown
// broken into lines of that length (the stored text stays exact), since
// laying out one huge line would stall or crash the pane.
class TranscriptBox : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qsizetype kKeptChars = 1'000'000;
    static constexpr int kShownLines = 5'000;
    static constexpr qsizetype kShownLineChars = 1'000;

    explicit TranscriptBox(QWidget* parent = nullptr);

    const QString& text() const { return raw_; }
    void setText(const QString& text);
    // Appends at the end and puts the caret there, so the newest text is in view.
    void append(const QString& text);

private:
    QString shown(const QString& raw);

    QString raw_;
    bool ends_in_cr_ = false;
    qsizetype shown_column_ = 0;  // characters on the pane's last line
};

}  // namespace mivo
