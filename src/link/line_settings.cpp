#include "link/line_settings.h"

#include <QStringList>

namespace mivo {

std::optional<LineSettings> parse_line_settings(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;

    LineSettings s;
    bool ok = false;
    s.baud_rate = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud_rate <= 0)
        return std::nullopt;

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == u"N") s.parity = QSerialPort::NoParity;
    else if (parity == u"E") s.parity = QSerialPort::EvenParity;
    else if (parity == u"O") s.parity = QSerialPort::OddParity;
    else if (parity == u"M") s.parity = QSerialPort::MarkParity;
    else if (parity == u"S") s.parity = QSerialPort::SpaceParity;
    else return std::nullopt;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    s.data_bits = static_cast<QSerialPort::DataBits>(bits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1") s.stop_bits = QSerialPort::OneStop;
    else if (stop == u"1.5") s.stop_bits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2") s.stop_bits = QSerialPort::TwoStop;
    else return std::nullopt;

    return s;
}

}  // namespace mivo
