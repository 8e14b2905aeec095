#include "link/port_name.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace mivo {

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

namespace {

constexpr QLatin1StringView kRaw("tcp://");
constexpr QLatin1StringView kTelnet("rfc2217://");

}  // namespace

bool names_network_line(const QString& port_name)
{
    return port_name.startsWith(kRaw, Qt::CaseInsensitive) || port_name.startsWith(kTelnet, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> network_address(const QString& port_name, QString* why)
{
    const auto refuse = [&](const QString& reason) -> std::optional<NetworkAddress> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    NetworkAddress a;
    QStringView rest(port_name);
    if (rest.startsWith(kRaw, Qt::CaseInsensitive)) {
        rest = rest.mid(kRaw.size());
    } else if (rest.startsWith(kTelnet, Qt::CaseInsensitive)) {
        a.telnet = true;
        rest = rest.mid(kTelnet.size());
    } else {
        return refuse(QStringLiteral("not a network address"));
    }
    const QString usage = QStringLiteral("write HOST:PORT, an IPv6 address in brackets");
    QStringView host, port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0 || rest.mid(close + 1, 1) != u":")
            return refuse(usage);
        host = rest.mid(1, close - 1);
        port = rest.mid(close + 2);
        if (QHostAddress(host.toString()).protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(QStringLiteral("\"%1\" is no IPv6 address").arg(host));
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return refuse(usage);
        host = rest.left(colon);
        port = rest.mid(colon + 1);
        // Letters, digits, dots and hyphens: a host name or an IPv4 address.
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_.-]{0,252})$"));
        if (!name.match(host).hasMatch())
            return refuse(host.contains(u':') ? usage : QStringLiteral("\"%1\" is no host name").arg(host));
    }
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int number = digits.match(port).hasMatch() ? port.toInt() : 0;
    if (number < 1 || number > 65535)
        return refuse(QStringLiteral("the port must be a number from 1 to 65535"));
    a.host = host.toString();
    a.port = quint16(number);
    return a;
}

}  // namespace mivo
