#pragma once

#include "console/line_overview.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

namespace mivo::bridge {

// Each station's state as the Line pane's rounds read it, as the document
// a dashboard keeps: the same keys every time, null for what did not come
// and for everything of a station that is offline. A change goes out at
// once when the station's last message is at least the interval old, else
// when the interval is up; a station going on- or offline goes out at once.
// A station is told only once there is something to tell: it answered, or
// it stayed silent for three rounds.
class StationPublisher : public QObject {
    Q_OBJECT
public:
    StationPublisher(LineOverview& overview, const QList<int>& stations, int interval_ms);

    // The line went away (every station offline, at once) or came back
    // (each station is told again as it answers).
    void set_line_connected(bool connected);
    // Every station's latest state once, for a broker that came back.
    void publish_all();
    // Nothing more goes out.
    void stop();

    // The state document of a row; time is the reading's.
    static QJsonObject document(const LineOverview::Row* row, int station, const QDateTime& time);
    // ISO 8601 with the offset from UTC written out.
    static QString iso_time(const QDateTime& time);

signals:
    void publish(int station, const QByteArray& payload);

private:
    struct Slot {
        std::optional<QJsonObject> latest;  // without its time
        QDateTime latest_time;
        std::optional<QJsonObject> sent;
        QElapsedTimer sent_clock;
        std::unique_ptr<QTimer> later;
    };

    void row_changed(int index);
    void take(int station, QJsonObject doc, const QDateTime& time);
    void send(int station, Slot& slot);

    LineOverview& overview_;
    std::map<int, Slot> slots_;
    int interval_ms_;
    bool line_connected_ = true;
    bool stopped_ = false;
};

}  // namespace mivo::bridge
