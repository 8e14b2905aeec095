#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace mivo {

// Every line written to the port and every piece read from it, as the
// exchange saw them, with the time and what sent it. It keeps the newest
// kCapacity rows; appending costs the same however full it is. A reader
// hears of new rows from grew() and takes them when it suits it.
class WireLog : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kCapacity = 100'000;

    // A row keeps at most this many bytes of what was written or read, and
    // how many more there were: a line that streams fills a read with 16 KiB,
    // and the full log (with the pane's copy of its rows) stays under 100 MB.
    static constexpr qsizetype kRowBytes = 768;

    // LateFromDrive: bytes that answer an earlier line than the one just
    // written, and were not taken as its reply. Echo: the line just written,
    // handed back by the line itself (a converter without echo suppression).
    enum class Direction { ToDrive, FromDrive, LateFromDrive, Echo };
    struct Row {
        qint64 msecs_since_epoch = 0;  // clock time, for the reader
        Direction direction = Direction::ToDrive;
        QByteArray bytes;
        QString source;  // "poll", "search", "select", "Setup", "terminal", ...
        qint32 left_out = 0;  // bytes beyond the kept ones
    };

    void append(Row row);
    void clear();
    // Keeps the newest rows rows from now on, a log nobody reads (a
    // bridge's) fewer than kCapacity; starts the log afresh.
    void set_capacity(qsizetype rows);
    qsizetype capacity() const { return capacity_; }

    qsizetype size() const { return rows_.size(); }
    // Oldest first.
    const Row& at(qsizetype i) const { return rows_[(head_ + i) % rows_.size()]; }
    // Rows appended since the log began, dropped ones included: a reader
    // that remembers it knows how many rows are new.
    quint64 appended() const { return appended_; }

    // The bytes as a reader can see them: CR and LF as \r and \n, a
    // backslash as \\, and every byte outside printable Latin-1 as \xNN.
    static QString visible(const QByteArray& bytes);
    // A row's bytes as visible text, with how many were left out.
    static QString row_text(const Row& row);
    static QString direction_text(Direction direction);
    // One row as a line of the saved text, tab-separated, no line end:
    // date and time with milliseconds, direction, source, visible bytes.
    static QString text_line(const Row& row);

    // Writes the rows, oldest first, under a header line, as UTF-8 text;
    // with skip_source set, rows of that source are left out. The file is
    // replaced only once everything is written. False with the reason in
    // error when it could not be.
    bool save(const QString& path, const QString& skip_source, QString* error) const;

signals:
    // A row was appended.
    void grew();

private:
    QList<Row> rows_;
    qsizetype capacity_ = kCapacity;
    qsizetype head_ = 0;  // index of the oldest row once the log is full
    quint64 appended_ = 0;
};

}  // namespace mivo
