#pragma once

// Debian's mosquitto broker on 127.0.0.1 for a test, and its clients.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

// A broker on a free port with the given extra configuration; stop() and
// start() again keep the port (a broker restarted, its retained messages gone).
class Broker {
public:
    Broker(const QTemporaryDir& dir, const QString& config) : dir_(dir), config_(config)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
    }
    ~Broker() { stop(); }
    quint16 port() const { return port_; }

    bool start()
    {
        QFile f(dir_.filePath(QStringLiteral("mosquitto-%1.conf").arg(port_)));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        // Run as root, the broker would become the user mosquitto, who cannot
        // read the test's files.
        const passwd* me = getpwuid(getuid());
        f.write(QStringLiteral("listener %1 127.0.0.1\npersistence false\nuser %2\n%3\n")
                    .arg(port_)
                    .arg(QString::fromLocal8Bit(me ? me->pw_name : "mosquitto"), config_)
                    .toUtf8());
        f.close();
        p_ = std::make_unique<QProcess>();
        p_->setProcessChannelMode(QProcess::MergedChannels);
        p_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        p_->start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), f.fileName()});
        if (!p_->waitForStarted())
            return false;
        const bool up = QTest::qWaitFor([this] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            // A socket may meet itself on a free port of its own range.
            return (s.waitForConnected(100) && s.localPort() != port_) || p_->state() == QProcess::NotRunning;
        }, 5000) && p_->state() == QProcess::Running;
        if (!up)
            qWarning("mosquitto: %s", p_->readAll().constData());
        return up;
    }
    void stop()
    {
        if (p_ && p_->state() != QProcess::NotRunning) {
            p_->terminate();
            p_->waitForFinished(5000);
        }
    }

private:
    const QTemporaryDir& dir_;
    QString config_;
    quint16 port_ = 0;
    std::unique_ptr<QProcess> p_;
};

// mosquitto_sub -v on a topic filter: every message as it comes.
class Subscriber {
public:
    Subscriber(quint16 port, const QString& filter, const QStringList& extra = {})
    {
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, [this] {
            buffer_ += p_.readAllStandardOutput();
            for (qsizetype end; (end = buffer_.indexOf('\n')) >= 0; buffer_.remove(0, end + 1)) {
                const QByteArray line = buffer_.left(end);
                const qsizetype space = line.indexOf(' ');
                messages.append({QString::fromUtf8(line.left(space)), space < 0 ? QByteArray() : line.mid(space + 1)});
                QElapsedTimer now;
                now.start();
                arrived.append(now.msecsSinceReference());
            }
        });
        p_.start(QStringLiteral("mosquitto_sub"), QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-v",
                                                              "-t", filter} + extra);
        p_.waitForStarted();
    }
    ~Subscriber()
    {
        p_.kill();
        p_.waitForFinished();
    }
    // The payloads on topic, in order.
    QList<QByteArray> on(const QString& topic) const
    {
        QList<QByteArray> out;
        out.reserve(messages.size());
        for (const auto& [t, payload] : messages)
            if (t == topic)
                out.append(payload);
        return out;
    }
    // The first message on topic (from index from) for which test holds.
    std::optional<QJsonObject> wait_for(const QString& topic, const std::function<bool(const QJsonObject&)>& test,
                                        int ms = 8000)
    {
        std::optional<QJsonObject> found;
        (void)QTest::qWaitFor([&] {
            for (const QByteArray& payload : on(topic)) {
                const QJsonObject o = QJsonDocument::fromJson(payload).object();
                if (test(o)) {
                    found = o;
                    return true;
                }
            }
            return false;
        }, ms);
        return found;
    }
    bool wait_for_text(const QString& topic, const QByteArray& text, int ms = 8000)
    {
        return QTest::qWaitFor([&] { return !on(topic).isEmpty() && on(topic).last() == text; }, ms);
    }

    QList<QPair<QString, QByteArray>> messages;
    QList<qint64> arrived;  // each message's arrival, monotonic ms

private:
    QProcess p_;
    QByteArray buffer_;
};

inline bool publish(quint16 port, const QString& topic, const QByteArray& payload, const QStringList& extra = {})
{
    QProcess p;
    p.start(QStringLiteral("mosquitto_pub"), QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic,
                                                         payload.contains('\n') ? "-l" : "-m"} +
                                                 (payload.contains('\n') ? QStringList() : QStringList{QString::fromUtf8(payload)}) +
                                                 extra);
    if (payload.contains('\n')) {
        p.write(payload);
        p.closeWriteChannel();
    }
    return p.waitForFinished(10000) && p.exitCode() == 0;
}
