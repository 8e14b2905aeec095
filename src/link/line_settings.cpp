#include "link/line_settings.h"

#include <QRegularExpression>
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

QString system_port_name(const QString& comm_text)
{
    static const QRegularExpression whole_number(QStringLiteral("^\\s*0*([1-9][0-9]{0,4})\\s*$"));
    const auto match = whole_number.match(comm_text);
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
        if (n <= 32767) {
#ifdef Q_OS_WIN
            return QStringLiteral("COM%1").arg(n);
#else
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
        }
    }
    // Blanks around a typed path are no part of any device name.
    return comm_text.trimmed();
}

}  // namespace mivo
