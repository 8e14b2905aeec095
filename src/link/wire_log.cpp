#include "link/wire_log.h"

namespace mivo {

void WireLog::append(Row row)
{
    ++appended_;
    if (rows_.size() < kCapacity) {
        rows_.append(std::move(row));
        return;
    }
    // Full: the newest row takes the oldest one's place.
    rows_[head_] = std::move(row);
    head_ = (head_ + 1) % kCapacity;
}

void WireLog::clear()
{
    rows_.clear();
    head_ = 0;
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

}  // namespace mivo
