#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <initializer_list>

// ser2net in front of a device (a simulator's pseudo-terminal): the line's
// bytes raw on one loopback port, in telnet with the COM-PORT option on
// another. Stopped with SIGTERM, as a service manager stops it.
class Ser2netLine {
public:
    ~Ser2netLine() { stop(); }

    static QString program() { return QStandardPaths::findExecutable(QStringLiteral("ser2net")); }

    // serial as ser2net writes it, "9600n81". The ports are picked free, and
    // again should another process take one before ser2net does.
    bool start(const QString& device, const QString& serial = QStringLiteral("9600n81"))
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            stop();
            QTcpServer a, b;  // held together so that they differ
            a.listen(QHostAddress::LocalHost, 0);
            b.listen(QHostAddress::LocalHost, 0);
            raw_port_ = a.serverPort();
            telnet_port_ = b.serverPort();
            a.close();
            b.close();
            QFile config(dir_.filePath(QStringLiteral("ser2net.yaml")));
            if (!config.open(QIODevice::WriteOnly))
                return false;
            for (const auto& [accepter, port] : {std::pair{"tcp", raw_port_}, std::pair{"telnet(rfc2217),tcp", telnet_port_}})
                config.write(QStringLiteral("connection: &c%1\n  accepter: %2,127.0.0.1,%1\n  connector: serialdev,%3,%4,local\n"
                                            "  options:\n    banner: \"\"\n    chardelay: false\n")
                                 .arg(port)
                                 .arg(QLatin1String(accepter), device, serial)
                                 .toUtf8());
            config.close();
            process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process_.start(program(), {"-n", "-c", config.fileName(), "-P", dir_.filePath(QStringLiteral("pid"))});
            if (listening({raw_port_, telnet_port_}))
                return true;
        }
        return false;
    }
    QString raw() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(raw_port_); }
    QString telnet() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(telnet_port_); }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

private:
    // Read from the system's table: a connection would open the device.
    bool listening(std::initializer_list<quint16> ports)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && process_.waitForStarted(5000)) {
            QFile table(QStringLiteral("/proc/net/tcp"));
            const QByteArray text = table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
            // "sl local_address rem_address st": 0A is LISTEN.
            const auto has = [&](quint16 port) {
                return text.contains(QStringLiteral(": 0100007F:%1 00000000:0000 0A ").arg(port, 4, 16, QChar(u'0')).toUpper().toLatin1());
            };
            if (std::all_of(ports.begin(), ports.end(), has))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 raw_port_ = 0;
    quint16 telnet_port_ = 0;
};
