#pragma once

// What the measurements against a separate simulator process share.

#include "../tests/support/message_catcher.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTimer>

namespace bench {

// The measurements need no display unless one is asked for.
inline void default_to_offscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs fn with a catcher that closes the message boxes it raises and returns
// their texts. The catcher wakes every 2 ms, so it is never left running
// while CPU is measured.
template <typename Fn>
QStringList with_messages(Fn fn)
{
    MessageCatcher messages;
    fn();
    return messages.take();
}

inline void run_events_for(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline long rss_kb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// mivo-drive-sim in a process of its own, so that this process's CPU and
// memory are the console's alone; false when it does not serve the link.
inline bool start_simulator(QProcess& process, const QString& link, QStringList args)
{
    process.setProgram(QStringLiteral(MIVO_DRIVE_SIM));
    process.setArguments(args << QStringLiteral("--link") << link);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(5000))
        return false;
    // It prints "ready: PATH" once the link exists and it serves.
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("ready:") && t.elapsed() < 5000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    return out.contains("ready:") && QFileInfo::exists(link);
}

inline void stop_simulator(QProcess& process)
{
    process.terminate();  // SIGTERM: it removes the link and exits
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

}  // namespace bench
