#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QProcess>

#include <atomic>
#include <functional>
#include <optional>

namespace mivo::recipe {

// The process a recipe's JavaScript runs in, seen from the console: it is
// started with the recipe, sends its calls one line each and waits for
// each answer. It may be killed from any thread (a time limit, "Stop", a
// signal), and whatever ends it, the console's side goes on.
class EngineProcess : public QObject {
    Q_OBJECT
public:
    EngineProcess();
    ~EngineProcess() override;

    // Starts the engine on the recipe; an error text when it cannot start.
    QString start(const QString& program, const QString& path, int station);
    // The engine's next message. Waits with events until one comes, the
    // engine has ended, or give_up() is true (asked at least every 20 ms).
    std::optional<QJsonObject> next(const std::function<bool()>& give_up);
    void answer(const QJsonObject& message);
    // Any thread: the engine ends at once.
    void kill();
    // After next() gave nothing: why the engine ended (it crashed, or was
    // killed), or empty while it runs.
    QString end_reason();
    // What the engine holds in memory now, 0 when unknown.
    qint64 resident_bytes() const;

    // Where the engine's program is: beside an installed console, else the
    // one this build made.
    static QString program_path();

private:
    void take_output();

    QProcess process_;
    std::atomic<qint64> pid_ = 0;
    QByteArray pending_;
    bool faulty_ = false;  // it sent what no engine sends
};

}  // namespace mivo::recipe
