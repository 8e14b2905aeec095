#include "bridge/bridge.h"

#include "console/console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>

namespace mivo::bridge {

namespace {

// One line on standard error per change of the broker's or the line's state.
void say(const QString& text)
{
    std::fprintf(stderr, "mivo-cli: %s\n", qPrintable(text));
    std::fflush(stderr);
}

BrokerLogin with_will(BrokerLogin login, const QString& prefix)
{
    login.will_topic = prefix + QStringLiteral("/status");
    if (login.client_id.isEmpty())
        login.client_id = QStringLiteral("mivo-bridge:") + prefix;
    return login;
}

}  // namespace

Bridge::Bridge(Console& console, BridgeOptions options, const QList<int>& stations)
    : console_(console),
      options_(std::move(options)),
      stations_(stations),
      client_(with_will(options_.broker, options_.prefix)),
      publisher_(console.line_overview(), stations, options_.interval_ms),
      runner_(console, options_.allowed)
{
    connect(&client_, &MqttClient::connected, this, &Bridge::broker_up);
    connect(&client_, &MqttClient::lost, this, [this](const QString& reason) {
        say(broker_was_up_ ? QStringLiteral("lost the broker at %1: %2; trying again").arg(broker_name(), reason)
                           : QStringLiteral("cannot reach the broker at %1: %2; trying again").arg(broker_name(), reason));
    });
    connect(&client_, &MqttClient::refused, this, [this](const QString& reason) {
        say(QStringLiteral("the broker at %1 refused the connection: %2").arg(broker_name(), reason));
        if (ended_)
            return;
        // Nothing can be said on a broker that refused us: no farewell.
        ended_ = true;
        finishing_ = true;
        publisher_.stop();
        runner_.close(QStringLiteral("the bridge is stopping"));
        emit ended(2);
    });
    connect(&client_, &MqttClient::message, this, &Bridge::command_came);
    connect(&publisher_, &StationPublisher::publish, this, [this](int station, const QByteArray& payload) {
        client_.publish(topic(QStringLiteral("station/%1/state").arg(station)), payload, true);
    });
    connect(&runner_, &CommandRunner::reply, this, [this](int station, const QByteArray& payload) {
        client_.publish(topic(QStringLiteral("station/%1/reply").arg(station)), payload, false);
    });
    connect(&runner_, &CommandRunner::idle, this, [this] {
        if (finishing_)
            farewell();
    });
    connect(&console_.state(), &ConsoleState::link_changed, this, &Bridge::line_changed);
    // Nobody reads the wire log of a bridge: kept whole, the rounds would
    // fill it to its full size over the first minutes.
    console_.wire_log().set_capacity(kWireLogRows);
    // The console selected a command's station again and polls: the rounds
    // select their own.
    connect(&console_.reconnection(), &Reconnection::reconnected, this, [this] { console_.poll().stop(); });
}

QString Bridge::broker_name() const
{
    return QStringLiteral("%1:%2").arg(options_.broker.host).arg(options_.broker.port);
}

void Bridge::start()
{
    for (const int s : std::as_const(stations_))
        client_.subscribe(topic(QStringLiteral("station/%1/cmd").arg(s)));
    console_.reconnection().set_enabled(true);
    // The rounds go over exactly these stations.
    console_.state().set_found_stations(stations_);
    console_.line_overview().set_active(true);
    client_.start();
}

void Bridge::broker_up()
{
    say(QStringLiteral("connected to the broker at %1").arg(broker_name()));
    broker_was_up_ = true;
    client_.publish(topic(QStringLiteral("status")), "online", true);
    publish_line();
    publisher_.publish_all();
}

void Bridge::publish_line()
{
    QJsonArray stations;
    for (const int s : std::as_const(stations_))
        stations.append(s);
    const QJsonObject line{{QStringLiteral("port"), options_.port_text},
                           {QStringLiteral("connected"), console_.state().link_open()},
                           {QStringLiteral("stations"), stations}};
    client_.publish(topic(QStringLiteral("line")), QJsonDocument(line).toJson(QJsonDocument::Compact), true);
}

void Bridge::line_changed(bool open)
{
    // The state speaks only when the link changed.
    if (finishing_)
        return;
    publish_line();
    publisher_.set_line_connected(open);
    // The counts begin anew: each station is online once it answers again.
    if (open)
        console_.line_overview().set_active(true);
}

void Bridge::command_came(const QString& t, const QByteArray& payload)
{
    // P/station/N/cmd, N one of ours: the only topics subscribed.
    const QStringList parts = t.mid(options_.prefix.size() + 1).split(u'/');
    bool number = false;
    const int station = parts.size() == 3 ? parts[1].toInt(&number) : -1;
    if (!number || !stations_.contains(station))
        return;
    runner_.take(station, payload);
}

void Bridge::finish()
{
    if (finishing_)
        return;
    finishing_ = true;
    publisher_.stop();
    console_.line_overview().set_active(false);
    // Answered before the farewell; a running command ends with the
    // exchange's stop, and the farewell follows it.
    runner_.close(QStringLiteral("the bridge is stopping"));
}

void Bridge::farewell()
{
    if (ended_)
        return;
    ended_ = true;
    // The replies still on their way go out before "offline".
    client_.finish(topic(QStringLiteral("status")), "offline", kFarewellLimitMs);
    emit ended(0);
}

}  // namespace mivo::bridge
