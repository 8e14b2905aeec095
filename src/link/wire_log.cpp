#include "link/wire_log.h"

#include "link/whole_file.h"

#include <QDateTime>

#include <limits>

namespace mivo {

void WireLog::append(Row row)
{
    ++appended_;
    if (row.bytes.size() > kRowBytes) {
        row.left_out = qint32(qMin<qsizetype>(row.left_out + row.bytes.size() - kRowBytes, std::numeric_limits<qint32>::max()));
        row.bytes.truncate(kRowBytes);
    }
    // A piece read from the port comes in a buffer sized for the largest
    // read; kept as it is, a full log would hold close to a gigabyte.
    row.bytes.squeeze();
    if (rows_.size() < capacity_) {
        rows_.append(std::move(row));
    } else {
        // Full: the newest row takes the oldest one's place.
        rows_[head_] = std::move(row);
        head_ = (head_ + 1) % capacity_;
    }
    emit grew();
}

void WireLog::clear()
{
    rows_.clear();
    head_ = 0;
}

void WireLog::set_capacity(qsizetype rows)
{
    capacity_ = qMax<qsizetype>(1, rows);
    clear();
}

QString WireLog::visible(const QByteArray& bytes)
{
    static const char* const kHex = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\r')
            out += QLatin1String("\\r");
        else if (b == '\n')
            out += QLatin1String("\\n");
        else if (b == '\\')
            out += QLatin1String("\\\\");
        else if ((b >= 0x20 && b < 0x7F) || b >= 0xA0)
            out += QChar(b);
        else
            out += QLatin1String("\\x") + QLatin1Char(kHex[b >> 4]) + QLatin1Char(kHex[b & 0xF]);
    }
    return out;
}

QString WireLog::direction_text(Direction direction)
{
    switch (direction) {
    case Direction::ToDrive: return QStringLiteral("to drive");
    case Direction::FromDrive: return QStringLiteral("from drive");
    case Direction::LateFromDrive: return QStringLiteral("from drive, late");
    case Direction::Echo: return QStringLiteral("echo");
    }
    return {};
}

QString WireLog::row_text(const Row& row)
{
    if (row.left_out <= 0)
        return visible(row.bytes);
    return visible(row.bytes) + QStringLiteral("\u2026 (%1 more bytes)").arg(row.left_out);
}

QString WireLog::text_line(const Row& row)
{
    return QDateTime::fromMSecsSinceEpoch(row.msecs_since_epoch).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
           + u'\t' + direction_text(row.direction) + u'\t' + row.source + u'\t' + row_text(row);
}

bool WireLog::save(const QString& path, const QString& skip_source, QString* error) const
{
    WholeFile file(path);
    bool ok = file.open();
    // In pieces, so that a full log never sits in memory twice over.
    QByteArray chunk = "time\tdirection\tsource\ttext\n";
    for (qsizetype i = 0; ok && i <= size(); ++i) {
        if (i < size() && (skip_source.isEmpty() || at(i).source != skip_source))
            chunk += text_line(at(i)).toUtf8() + '\n';
        if (chunk.size() >= 1 << 16 || i == size()) {
            ok = file.write(chunk);
            chunk.clear();
        }
    }
    if (ok)
        ok = file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}

}  // namespace mivo
