#include "bridge/bridge_options.h"

#include "link/port_name.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

#include <mosquitto.h>

namespace mivo::bridge {

QString take_broker_url(const QString& url, BrokerLogin& broker)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || u.host().isEmpty())
        return QStringLiteral("--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not \"%1\"").arg(url);
    // A password has its own file: never one in a command line that any
    // user may list.
    if (!u.userInfo().isEmpty())
        return QStringLiteral("--mqtt takes no user or password in the URL: use --username and --password-file");
    if (!u.path().isEmpty() && u.path() != u"/")
        return QStringLiteral("--mqtt takes no path, not \"%1\"").arg(u.path());
    if (u.hasQuery() || u.hasFragment())
        return QStringLiteral("--mqtt takes no query or fragment");
    broker.tls = scheme == u"mqtts";
    const int port = u.port(broker.tls ? 8883 : 1883);
    if (port < 1 || port > 65535)
        return QStringLiteral("--mqtt: the broker's port must be 1 to 65535");
    broker.port = quint16(port);
    broker.host = u.host();
    return {};
}

std::optional<QSet<QString>> allowed_operations(const QString& list, QString* bad)
{
    QSet<QString> out;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) {
        const QString n = name.trimmed();
        if (!operation_names().contains(n)) {
            if (bad)
                *bad = n;
            return std::nullopt;
        }
        out.insert(n);
    }
    return out;
}

QString take_prefix(const QString& text, QString& prefix)
{
    QString p = text;
    while (p.endsWith(u'/'))
        p.chop(1);
    if (p.isEmpty())
        return QStringLiteral("the topic prefix is empty");
    // The prefix leads topics that are published: no wildcards.
    const QByteArray probe = (p + QStringLiteral("/station/0/state")).toUtf8();
    if (p.contains(u'+') || p.contains(u'#') || mosquitto_pub_topic_check(probe.constData()) != MOSQ_ERR_SUCCESS ||
        mosquitto_validate_utf8(probe.constData(), int(probe.size())) != MOSQ_ERR_SUCCESS)
        return QStringLiteral("\"%1\" cannot lead an MQTT topic (no +, # or control characters)").arg(text);
    prefix = p;
    return {};
}

QString default_prefix(const QString& port_text)
{
    QString host = QSysInfo::machineHostName().section(u'.', 0, 0);
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    QString line;
    if (const std::optional<NetworkAddress> a = network_address(port_text.trimmed()))
        line = a->host;
    else
        line = QFileInfo(system_port_name(port_text)).fileName();
    // Whatever a name holds, the topic stays one level per part.
    for (QString* part : {&host, &line}) {
        part->replace(u'/', u'_');
        part->replace(u'+', u'_');
        part->replace(u'#', u'_');
    }
    return QStringLiteral("mivo/%1/%2").arg(host, line.isEmpty() ? QStringLiteral("line") : line);
}

std::optional<QByteArray> read_password_file(const QString& path, QString& why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read the password file %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    // A password is one line; a file far larger is not a password file.
    QByteArray line = f.read(65536);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        why = QStringLiteral("the password file %1 holds no password on its first line").arg(path);
        return std::nullopt;
    }
    return line;
}

}  // namespace mivo::bridge
