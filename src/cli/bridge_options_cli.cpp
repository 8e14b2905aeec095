#include "cli/bridge_options_cli.h"

#include "bridge/bridge_options.h"
#include "cli/command_line.h"

#include <QFile>
#include <QRegularExpression>

namespace mivo::cli {

BridgeOptionsCli::BridgeOptionsCli()
    : mqtt_(QStringLiteral("mqtt"),
            QStringLiteral("bridge: the broker, mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883, TLS)."),
            QStringLiteral("URL")),
      ca_file_(QStringLiteral("ca-file"),
               QStringLiteral("bridge: the CA certificate(s) that sign the broker's, instead of the system's store."),
               QStringLiteral("FILE")),
      username_(QStringLiteral("username"), QStringLiteral("bridge: the name to log in to the broker with."),
                QStringLiteral("NAME")),
      password_file_(QStringLiteral("password-file"),
                     QStringLiteral("bridge: the file whose first line is the password."), QStringLiteral("FILE")),
      prefix_(QStringLiteral("prefix"),
              QStringLiteral("bridge: the topics' prefix (default mivo/HOST/PORTNAME)."), QStringLiteral("P")),
      interval_(QStringLiteral("interval-ms"),
                QStringLiteral("bridge: at most one state message a station this often, 0 to 3600000 ms "
                               "(default 1000); going on- or offline goes out at once."),
                QStringLiteral("N")),
      allow_(QStringLiteral("allow"),
             QStringLiteral("bridge: the commands beyond status and read the broker may run, "
                            "from write,save,servo,home,move."),
             QStringLiteral("LIST"))
{
}

void BridgeOptionsCli::add_to(QCommandLineParser& parser) const
{
    parser.addOptions({mqtt_, ca_file_, username_, password_file_, prefix_, interval_, allow_});
}

QStringList BridgeOptionsCli::with_values() const
{
    QStringList out;
    for (const QCommandLineOption* o : {&mqtt_, &ca_file_, &username_, &password_file_, &prefix_, &interval_, &allow_})
        for (const QString& name : o->names())
            out << QStringLiteral("--") + name;
    return out;
}

QString BridgeOptionsCli::read(const QCommandLineParser& parser, Invocation& inv) const
{
    const bool bridge = inv.command == u"bridge";
    for (const QCommandLineOption* o : {&mqtt_, &ca_file_, &username_, &password_file_, &prefix_, &interval_, &allow_})
        if (!bridge && parser.isSet(*o))
            return QStringLiteral("--%1 is for bridge only").arg(o->names().first());
    if (!bridge)
        return {};

    // Without --stations: those a scan finds.
    if (!inv.several())
        inv.all_stations = true;
    bridge::BridgeOptions& b = inv.bridge;
    b.port_text = inv.port;
    if (!parser.isSet(mqtt_))
        return QStringLiteral("bridge needs --mqtt URL");
    if (const QString why = bridge::take_broker_url(parser.value(mqtt_), b.broker); !why.isEmpty())
        return why;
    if (parser.isSet(ca_file_)) {
        if (!b.broker.tls)
            return QStringLiteral("--ca-file goes with an mqtts:// broker");
        QFile ca(parser.value(ca_file_));
        if (!ca.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the CA file %1: %2").arg(ca.fileName(), ca.errorString());
        b.broker.ca_file = ca.fileName();
    }
    b.broker.username = parser.value(username_);
    if (parser.isSet(username_) && b.broker.username.isEmpty())
        return QStringLiteral("--username takes a name");
    if (parser.isSet(password_file_)) {
        if (b.broker.username.isEmpty())
            return QStringLiteral("--password-file goes with --username");
        QString why;
        b.broker.password = bridge::read_password_file(parser.value(password_file_), why);
        if (!b.broker.password)
            return why;
    }
    const QString prefix = parser.isSet(prefix_) ? parser.value(prefix_) : bridge::default_prefix(inv.port);
    if (const QString why = bridge::take_prefix(prefix, b.prefix); !why.isEmpty())
        return QStringLiteral("--prefix: ") + why;
    if (parser.isSet(interval_)) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,7}$"));
        const QString v = parser.value(interval_);
        if (!digits.match(v).hasMatch() || v.toInt() > 3'600'000)
            return QStringLiteral("--interval-ms takes 0 to 3600000, not \"%1\"").arg(v);
        b.interval_ms = v.toInt();
    }
    QString bad;
    const std::optional<QSet<QString>> allowed = bridge::allowed_operations(parser.value(allow_), &bad);
    if (!allowed)
        return QStringLiteral("--allow takes write, save, servo, home and move, not \"%1\"").arg(bad);
    b.allowed = *allowed;
    return {};
}

}  // namespace mivo::cli
