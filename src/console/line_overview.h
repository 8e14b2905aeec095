#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace mivo {

class ConsoleContext;
class LineOperations;

// Every station of the line in view while the window works with one: the
// stations of the last search (and any selected since), read one after the
// other in the line's idle moments. Each station's reads go out between its
// select line and the selection of the window's own station again, with no
// event processed in between, so that nothing the window sends reaches the
// wrong drive. It reads only from the idle event loop (or between a
// broadcast cycle's moves), never inside another handler's wait, and never
// so close to a poll tick that the tick would be held up.
class LineOverview : public QObject {
    Q_OBJECT
public:
    struct Row {
        int station = 0;
        bool lost = false;  // three rounds in a row without an answer
        int misses = 0;
        std::optional<QString> version;
        std::optional<double> position;
        std::optional<quint32> state;
        std::optional<quint16> inputs;
        int answered = 0;
        int asked = 0;
        QDateTime last_seen;
    };
    static constexpr int kLostAfterRounds = 3;
    // How often the overview looks for an idle moment.
    static constexpr int kLookMs = 20;
    // How late a go may make the window's next poll tick at the worst (its
    // period stays under 750 ms); a line that answers at once costs it
    // nothing like that.
    static constexpr int kTickSlackMs = 120;
    // Without a poll, how long one go may hold the line before the window's
    // events are processed again.
    static constexpr int kLongestGoMs = 200;

    LineOverview(ConsoleContext& context, LineOperations& line);

    // Reads only while shown; the counts begin anew each time.
    void set_active(bool on);
    bool active() const { return active_; }
    const QList<Row>& rows() const { return rows_; }

signals:
    void rows_reset();
    void row_changed(int index);

private:
    void set_stations(const QList<int>& stations);
    void add_station(int station);
    void look();
    // Reads the next station while room() says a line and the window's
    // select line still fit.
    void read_next(const std::function<bool()>& room);
    void reselect();
    qint64 line_time_left() const;

    ConsoleContext& c_;
    LineOperations& line_;
    QTimer look_timer_;
    QList<Row> rows_;
    int next_ = 0;
    bool active_ = false;
};

}  // namespace mivo
