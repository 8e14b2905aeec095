#pragma once

#include "bridge/bridge_options.h"
#include "bridge/command_runner.h"
#include "bridge/mqtt_client.h"
#include "bridge/station_publisher.h"

#include <QList>
#include <QObject>

namespace mivo {
class Console;
}

namespace mivo::bridge {

// One line on an MQTT broker: the stations' states as the Line pane reads
// them, the line's link, the bridge's own presence (with the broker's will
// for a bridge that dies), and commands from the broker run on the drives.
// The line is opened again when it comes back; the broker is tried again
// while it is away, and gets the latest of everything when it returns.
class Bridge : public QObject {
    Q_OBJECT
public:
    static constexpr int kFarewellLimitMs = 2000;
    // The wire log's rows kept at most.
    static constexpr int kWireLogRows = 4096;

    Bridge(Console& console, BridgeOptions options, const QList<int>& stations);

    void start();
    // A clean end: waiting commands are answered, the running one ends,
    // "offline" goes out, then ended(0).
    void finish();

signals:
    // 0 after finish(); 2 when the broker refused the first connection.
    void ended(int status);

private:
    void broker_up();
    void line_changed(bool open);
    void publish_line();
    void command_came(const QString& topic, const QByteArray& payload);
    void farewell();
    QString topic(const QString& rest) const { return options_.prefix + u'/' + rest; }
    QString broker_name() const;

    Console& console_;
    BridgeOptions options_;
    QList<int> stations_;
    MqttClient client_;
    StationPublisher publisher_;
    CommandRunner runner_;
    bool finishing_ = false;
    bool broker_was_up_ = false;
    bool ended_ = false;
};

}  // namespace mivo::bridge
