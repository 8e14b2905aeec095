#include "bridge/mqtt_client.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace mivo::bridge {

namespace {

constexpr int kStatusQos = 1;

void init_library()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// MQTT 3.1.1's answers that no later try can change.
bool login_refused(int connack)
{
    return connack == 4 || connack == 5;
}

}  // namespace

MqttClient::MqttClient(BrokerLogin login, QObject* parent) : QObject(parent), login_(std::move(login))
{
    init_library();
    misc_timer_.setInterval(1000);
    connect(&misc_timer_, &QTimer::timeout, this, &MqttClient::service);
    retry_timer_.setSingleShot(true);
    connect(&retry_timer_, &QTimer::timeout, this, &MqttClient::try_now);
    connect_limit_.setSingleShot(true);
    connect(&connect_limit_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer within %1 s").arg(kConnectLimitMs / 1000), false);
    });
}

MqttClient::~MqttClient()
{
    stopped_ = true;
    if (lookup_id_ >= 0)
        QHostInfo::abortHostLookup(lookup_id_);
    // No notifier is calling now: they go with us.
    read_notifier_.reset();
    write_notifier_.reset();
    drop_handle();
}

void MqttClient::start()
{
    stopped_ = false;
    try_now();
}

bool MqttClient::make_handle(QString& error)
{
    drop_handle();
    const QByteArray id = login_.client_id.toUtf8();
    mosq_ = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!mosq_) {
        error = QStringLiteral("cannot set up the MQTT client");
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &MqttClient::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::on_disconnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::on_message);
    mosquitto_publish_callback_set(mosq_, &MqttClient::on_publish);
    mosquitto_log_callback_set(mosq_, &MqttClient::on_log);
    int rc = MOSQ_ERR_SUCCESS;
    if (!login_.username.isEmpty()) {
        const QByteArray user = login_.username.toUtf8();
        rc = mosquitto_username_pw_set(mosq_, user.constData(),
                                       login_.password ? login_.password->constData() : nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !login_.will_topic.isEmpty()) {
        const QByteArray topic = login_.will_topic.toUtf8();
        rc = mosquitto_will_set(mosq_, topic.constData(), 7, "offline", kStatusQos, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && login_.tls) {
        if (login_.ca_file.isEmpty()) {
            rc = mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            const QByteArray ca = QFile::encodeName(login_.ca_file);
            rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        }
        // The broker's certificate and its name are checked (peer
        // verification; libmosquitto checks the host name unless told not to).
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(mosq_, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error = error_text(rc);
        drop_handle();
        return false;
    }
    return true;
}

void MqttClient::drop_handle()
{
    // The notifiers may be the ones calling us: they go once control is back.
    for (auto* n : {&read_notifier_, &write_notifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
    watched_fd_ = -1;
    misc_timer_.stop();
    connect_limit_.stop();
    if (mosq_) {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
    connected_ = false;
    // A farewell waits no longer for a connection that is gone.
    if (finish_loop_)
        finish_loop_->quit();
}

void MqttClient::try_now()
{
    if (stopped_)
        return;
    QString error;
    if (!make_handle(error)) {
        fail(error, true);
        return;
    }
    disconnected_ = false;
    connack_ = 0;
    last_error_log_.clear();
    // The name is looked up apart first, so that a resolver that does not
    // answer holds up this try, not the line's reading.
    if (!QHostAddress(login_.host).isNull()) {
        connect_resolved();
        return;
    }
    lookup_id_ = QHostInfo::lookupHost(login_.host, this, [this](const QHostInfo& info) {
        lookup_id_ = -1;
        if (stopped_ || !mosq_)
            return;
        if (info.error() != QHostInfo::NoError) {
            fail(info.errorString(), false);
            return;
        }
        connect_resolved();
    });
}

void MqttClient::connect_resolved()
{
    const QByteArray host = login_.host.toUtf8();
    errno = 0;
    const int rc = mosquitto_connect_async(mosq_, host.constData(), login_.port, kKeepAliveS);
    saved_errno_ = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(error_text(rc), rc == MOSQ_ERR_TLS);
        return;
    }
    connect_limit_.start(kConnectLimitMs);
    misc_timer_.start();
    watch_socket();
}

void MqttClient::watch_socket()
{
    if (!mosq_)
        return;
    const int fd = mosquitto_socket(mosq_);
    if (fd != watched_fd_) {
        for (auto* n : {&read_notifier_, &write_notifier_}) {
            if (*n) {
                (*n)->setEnabled(false);
                n->release()->deleteLater();
            }
        }
        watched_fd_ = fd;
        if (fd < 0)
            return;
        read_notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(read_notifier_.get(), &QSocketNotifier::activated, this, &MqttClient::service);
        write_notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(write_notifier_.get(), &QSocketNotifier::activated, this, &MqttClient::service);
    }
    if (write_notifier_)
        write_notifier_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::service()
{
    if (!mosq_)
        return;
    errno = 0;
    // No wait: the notifiers said there is something to do, or keep-alive.
    const int rc = mosquitto_loop(mosq_, 0, 1);
    saved_errno_ = errno;
    if (connack_ != 0) {
        fail(QString::fromUtf8(mosquitto_connack_string(connack_)), false);
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS || disconnected_) {
        fail(rc == MOSQ_ERR_SUCCESS ? QStringLiteral("the broker closed the connection") : error_text(rc),
             rc == MOSQ_ERR_TLS);
        return;
    }
    watch_socket();
}

void MqttClient::fail(const QString& reason, bool certificate)
{
    const bool was_connected = connected_;
    const bool refused_login = login_refused(connack_);
    drop_handle();
    if (stopped_)
        return;
    if (!ever_connected_ && (certificate || refused_login)) {
        stopped_ = true;
        emit refused(reason);
        return;
    }
    if (was_connected || !reported_down_) {
        reported_down_ = true;
        emit lost(reason);
    }
    if (was_connected)
        pause_ms_ = kFirstRetryMs;
    retry_timer_.start(pause_ms_);
    pause_ms_ = std::min(pause_ms_ * 2, kLongestRetryMs);
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (!connected_ || !mosq_)
        return false;
    const QByteArray t = topic.toUtf8();
    const int rc = mosquitto_publish(mosq_, nullptr, t.constData(), int(payload.size()), payload.constData(), 0, retain);
    watch_socket();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::subscribe(const QString& topic)
{
    topics_ << topic;
    if (connected_ && mosq_)
        mosquitto_subscribe(mosq_, nullptr, topic.toUtf8().constData(), 1);
}

bool MqttClient::finish(const QString& topic, const QByteArray& payload, int limit_ms)
{
    retry_timer_.stop();
    if (lookup_id_ >= 0) {
        QHostInfo::abortHostLookup(lookup_id_);
        lookup_id_ = -1;
    }
    const bool up = connected_ && mosq_;
    stopped_ = true;
    if (!up) {
        drop_handle();
        return false;
    }
    const QByteArray t = topic.toUtf8();
    last_delivered_ = false;
    if (mosquitto_publish(mosq_, &last_mid_, t.constData(), int(payload.size()), payload.constData(), kStatusQos,
                          true) == MOSQ_ERR_SUCCESS) {
        watch_socket();
        QEventLoop wait;
        finish_loop_ = &wait;
        QTimer::singleShot(limit_ms, &wait, &QEventLoop::quit);
        if (!last_delivered_)
            wait.exec();
        finish_loop_ = nullptr;
    }
    const bool delivered = last_delivered_;
    if (mosq_) {
        // A clean end: the broker keeps the will to itself.
        mosquitto_disconnect(mosq_);
        mosquitto_loop(mosq_, 0, 1);
    }
    drop_handle();
    return delivered;
}

QString MqttClient::error_text(int rc) const
{
    if (rc == MOSQ_ERR_ERRNO && saved_errno_ != 0)
        return QString::fromLocal8Bit(std::strerror(saved_errno_));
    if (rc == MOSQ_ERR_TLS && !last_error_log_.isEmpty())
        return last_error_log_;
    return QString::fromUtf8(mosquitto_strerror(rc));
}

// The callbacks come inside mosquitto_loop(); what they start runs after it.

void MqttClient::on_connect(mosquitto*, void* self, int rc)
{
    auto* c = static_cast<MqttClient*>(self);
    c->connack_ = rc;
    if (rc != 0)
        return;
    c->connected_ = true;
    c->ever_connected_ = true;
    c->reported_down_ = false;
    c->pause_ms_ = kFirstRetryMs;
    c->connect_limit_.stop();
    for (const QString& topic : std::as_const(c->topics_))
        mosquitto_subscribe(c->mosq_, nullptr, topic.toUtf8().constData(), 1);
    QMetaObject::invokeMethod(
        c,
        [c] {
            if (c->connected_)
                emit c->connected();
        },
        Qt::QueuedConnection);
}

void MqttClient::on_disconnect(mosquitto*, void* self, int)
{
    static_cast<MqttClient*>(self)->disconnected_ = true;
}

void MqttClient::on_message(mosquitto*, void* self, const mosquitto_message* msg)
{
    auto* c = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(msg->topic);
    const QByteArray payload(static_cast<const char*>(msg->payload), msg->payloadlen);
    QMetaObject::invokeMethod(
        c, [c, topic, payload] { emit c->message(topic, payload); }, Qt::QueuedConnection);
}

void MqttClient::on_publish(mosquitto*, void* self, int mid)
{
    auto* c = static_cast<MqttClient*>(self);
    if (mid != c->last_mid_)
        return;
    c->last_delivered_ = true;
    if (c->finish_loop_)
        c->finish_loop_->quit();
}

void MqttClient::on_log(mosquitto*, void* self, int level, const char* text)
{
    if (level & MOSQ_LOG_ERR)
        static_cast<MqttClient*>(self)->last_error_log_ = QString::fromUtf8(text);
}

}  // namespace mivo::bridge
