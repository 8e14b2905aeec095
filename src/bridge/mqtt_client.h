#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace mivo::bridge {

// Where and how to reach the broker.
struct BrokerLogin {
    QString host;
    quint16 port = 1883;
    bool tls = false;
    QString ca_file;  // empty: the system's store
    QString username;
    std::optional<QByteArray> password;
    QString client_id;
    QString will_topic;  // retained "offline" there when the connection dies
};

// A small MQTT client on libmosquitto, driven from the Qt event loop on the
// calling thread: the socket through QSocketNotifier, keep-alive on a timer.
// Every try starts on a fresh libmosquitto handle, so that nothing published
// on a dead connection is sent again on the next: what was not delivered is
// gone, and the owner publishes its latest state on connected(). Tries
// follow each other 1 s, 2 s, 4 s ... up to 30 s apart until one succeeds.
class MqttClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLongestRetryMs = 30000;
    static constexpr int kKeepAliveS = 10;
    // A try that has not been answered by then is given up.
    static constexpr int kConnectLimitMs = 10000;

    explicit MqttClient(BrokerLogin login, QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // The first try; the others follow by themselves.
    void start();
    bool is_connected() const { return connected_; }
    // QoS 0 while connected; false (and nothing kept) otherwise.
    bool publish(const QString& topic, const QByteArray& payload, bool retain);
    // Subscribed again on every connection.
    void subscribe(const QString& topic);
    // The last word: payload retained on topic (QoS 1), then a clean
    // disconnect, waiting at most limit_ms for the broker. True when the
    // broker took it.
    bool finish(const QString& topic, const QByteArray& payload, int limit_ms);

signals:
    void connected();
    // The connection that was up went away, or the first try since start
    // failed: the reason. Further failed tries are not reported.
    void lost(const QString& reason);
    // The very first connection was refused for good: the login or the
    // broker's certificate. No more tries.
    void refused(const QString& reason);
    void message(const QString& topic, const QByteArray& payload);

private:
    static void on_connect(mosquitto* m, void* self, int rc);
    static void on_disconnect(mosquitto* m, void* self, int rc);
    static void on_message(mosquitto* m, void* self, const mosquitto_message* msg);
    static void on_publish(mosquitto* m, void* self, int mid);
    static void on_log(mosquitto* m, void* self, int level, const char* text);

    bool make_handle(QString& error);
    void drop_handle();
    void try_now();
    void connect_resolved();
    void service();
    void watch_socket();
    void fail(const QString& reason, bool certificate);
    void retry_later();
    QString error_text(int rc) const;

    BrokerLogin login_;
    mosquitto* mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> read_notifier_;
    std::unique_ptr<QSocketNotifier> write_notifier_;
    int watched_fd_ = -1;
    QTimer misc_timer_;
    QTimer retry_timer_;
    QTimer connect_limit_;
    QStringList topics_;
    bool connected_ = false;
    bool ever_connected_ = false;
    bool disconnected_ = false;   // set by the library's callback
    bool stopped_ = false;
    bool reported_down_ = false;
    int saved_errno_ = 0;
    QEventLoop* finish_loop_ = nullptr;
    int pause_ms_ = kFirstRetryMs;
    int lookup_id_ = -1;
    int last_mid_ = -1;
    bool last_delivered_ = false;
    QString last_error_log_;
    int connack_ = 0;
};

}  // namespace mivo::bridge
