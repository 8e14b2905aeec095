#pragma once

#include "bridge/mqtt_client.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace mivo::bridge {

// What a bridge is told on its command line, checked before the port opens.
struct BridgeOptions {
    QString port_text;  // as given, for the line's topic
    BrokerLogin broker;
    QString prefix;     // without a trailing '/'
    int interval_ms = 1000;
    // The operations beyond status and read that a command may run.
    QSet<QString> allowed;
};

// The operations a command may name; the first two are always allowed.
inline const QStringList& operation_names()
{
    static const QStringList names{QStringLiteral("status"), QStringLiteral("read"),  QStringLiteral("write"),
                                   QStringLiteral("save"),   QStringLiteral("servo"), QStringLiteral("home"),
                                   QStringLiteral("move")};
    return names;
}

// mqtt://HOST[:PORT] or mqtts://HOST[:PORT] into broker; else the reason.
QString take_broker_url(const QString& url, BrokerLogin& broker);
// "write,save": the set, or nothing for a name that is no operation.
std::optional<QSet<QString>> allowed_operations(const QString& list, QString* bad = nullptr);
// A prefix fit for topics (the trailing '/' dropped), or the reason.
QString take_prefix(const QString& text, QString& prefix);
// mivo/<short host name>/<the port's last path element, or a network
// port's host>.
QString default_prefix(const QString& port_text);
// The first line of a password file, without its line end; the reason in
// why when it cannot be read.
std::optional<QByteArray> read_password_file(const QString& path, QString& why);

}  // namespace mivo::bridge
