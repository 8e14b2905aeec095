#pragma once

#include "bridge/station_command.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QSet>

#include <deque>

namespace mivo {
class Console;
}

namespace mivo::bridge {

// The commands that come from the broker, one at a time between the Line
// pane's rounds, in the order they came: each station selected as "Set
// Station" selects it, then its drive operation, answered with the fields
// of the tool's document for it. A bad or refused command is answered at
// once and sends nothing.
class CommandRunner : public QObject {
    Q_OBJECT
public:
    // Besides the one running.
    static constexpr int kMostWaiting = 16;

    CommandRunner(Console& console, QSet<QString> allowed);

    void take(int station, const QByteArray& payload);
    // No more commands: those waiting are answered with why.
    void close(const QString& why);
    bool running() const { return running_; }

signals:
    void reply(int station, const QByteArray& payload);
    // Nothing runs and nothing waits.
    void idle();

private:
    struct Waiting {
        int station;
        QJsonValue id;
        StationCommand command;
    };

    void run_next();
    // The fields of the answer, ok and error among them.
    QJsonObject run(int station, const StationCommand& c);
    void answer(int station, const QJsonValue& id, QJsonObject fields);

    Console& console_;
    QSet<QString> allowed_;
    std::deque<Waiting> waiting_;
    bool running_ = false;
    bool closed_ = false;
    QString closed_why_;
};

}  // namespace mivo::bridge
