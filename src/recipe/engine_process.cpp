#include "recipe/engine_process.h"

#include "link/waits.h"
#include "recipe/engine_wire.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace mivo::recipe {

namespace {
constexpr qint32 kLookEveryMs = 20;
}  // namespace

EngineProcess::EngineProcess()
{
    // What the recipe prints (console.log) goes where the console's own
    // messages go.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &EngineProcess::take_output);
}

EngineProcess::~EngineProcess()
{
    kill();
    process_.waitForFinished(1000);
}

QString EngineProcess::program_path()
{
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(MIVO_ENGINE_FROM_BIN));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(MIVO_ENGINE_BUILT);
}

QString EngineProcess::start(const QString& program, const QString& path, int station)
{
    process_.start(program_path(), {});
    if (!process_.waitForStarted(10'000))
        return QStringLiteral("the recipe's engine (%1) cannot start: %2").arg(program_path(), process_.errorString());
    pid_.store(process_.processId());
    answer(QJsonObject{{QStringLiteral("program"), program},
                       {QStringLiteral("path"), path},
                       {QStringLiteral("station"), station}});
    return {};
}

void EngineProcess::take_output()
{
    pending_ += process_.readAllStandardOutput();
    if (pending_.size() > engine_wire::kLongestLine && !pending_.contains('\n')) {
        faulty_ = true;
        kill();
    }
}

std::optional<QJsonObject> EngineProcess::next(const std::function<bool()>& give_up)
{
    for (;;) {
        if (faulty_)
            return std::nullopt;
        if (const qsizetype end = pending_.indexOf('\n'); end >= 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(pending_.left(end));
            pending_.remove(0, end + 1);
            if (!doc.isObject()) {
                faulty_ = true;
                kill();
                return std::nullopt;
            }
            return doc.object();
        }
        if (process_.state() == QProcess::NotRunning || give_up())
            return std::nullopt;
        wait_with_events(kLookEveryMs, [this] {
            return pending_.contains('\n') || process_.state() == QProcess::NotRunning || faulty_;
        });
    }
}

void EngineProcess::answer(const QJsonObject& message)
{
    if (process_.state() == QProcess::Running)
        process_.write(engine_wire::frame(message));
}

void EngineProcess::kill()
{
    if (const qint64 pid = pid_.exchange(0); pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

QString EngineProcess::end_reason()
{
    if (faulty_)
        return QStringLiteral("the recipe's engine sent a message it cannot have meant");
    if (process_.state() != QProcess::NotRunning)
        process_.waitForFinished(1000);
    if (process_.state() != QProcess::NotRunning)
        return {};
    if (process_.exitStatus() == QProcess::CrashExit) {
        // Qt gives the signal that ended it as its exit code.
        const int signal = process_.exitCode();
        if (signal == SIGSEGV || signal == SIGBUS)
            return QStringLiteral("the recipe's engine crashed: its stack ran out (a structure or a recursion too "
                                  "deep)");
        return QStringLiteral("the recipe's engine was ended by signal %1 (%2)")
            .arg(signal)
            .arg(QString::fromLocal8Bit(strsignal(signal)));
    }
    return QStringLiteral("the recipe's engine ended with status %1").arg(process_.exitCode());
}

qint64 EngineProcess::resident_bytes() const
{
    const qint64 pid = pid_.load();
    if (pid <= 0)
        return 0;
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

}  // namespace mivo::recipe
