#pragma once

#include <QProcess>
#include <QString>

// How a mivo-cli process ended, as the tests read it.
struct CliRun {
    int status = -1;  // -1: ended by a signal
    QString out;
    QString err;
    int signal = 0;
};

inline CliRun finish_cli(QProcess& p)
{
    if (!p.waitForFinished(60000))
        p.kill();
    const bool crashed = p.exitStatus() == QProcess::CrashExit;
    return {crashed ? -1 : p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError()), crashed ? p.exitCode() : 0};
}
