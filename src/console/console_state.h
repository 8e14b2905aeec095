#pragma once

#include "console/availability.h"
#include "console/recorder.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QtGlobal>

#include <map>
#include <optional>

namespace mivo {

// What front ends follow, kept in one place: whether the link is open, the
// station selected, the last live values read, whether an operation of
// several lines runs, whether a poll tick runs, each poll tick's sample,
// which controls can be used, the station list, the feedback choices, and
// what the drive gave for its entries and the terminal's lines. Any number
// of views (the window, its panes, a script) connect to its signals; a
// state's signal comes only when its value changed. Readings (a sample, an
// entry read, a terminal line) come every time: a box typed into since
// must show the drive's value again even when it did not change.
class ConsoleState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool link_open() const { return link_open_; }
    // The station of the last selection; nothing since the link opened.
    std::optional<int> station() const { return station_; }
    bool broadcast() const { return broadcast_; }
    // A search, a motion cycle or a settings-file operation runs.
    bool busy() const { return busy_; }
    // A poll tick runs.
    bool polling() const { return polling_; }
    // The last value line of "RV n", or nothing when that read brought none.
    std::optional<QString> live_value(qint16 RV_Group_num) const;

    // The console core reports here; views only read and listen.
    void set_link_open(bool open);
    void set_station(int station, bool broadcast);
    void set_live_value(qint16 RV_Group_num, const std::optional<QString>& value_line);
    void set_busy(bool busy);
    void set_polling(bool polling);
    void add_sample(const Recorder::Sample& sample) { emit sample_recorded(sample); }
    // A search went through every station: the ones that answered.
    void set_found_stations(const QList<int>& stations) { emit stations_found(stations); }

    const std::optional<Availability::State>& availability() const { return availability_; }
    void set_availability(const Availability::State& state);
    // What the station box lists: the stations found so far, and 32 once a
    // search has gone through them all.
    const QList<int>& station_list() const { return station_list_; }
    void set_station_list(const QList<int>& stations);
    // The station a search is asking now; nothing between searches.
    std::optional<int> sweeping() const { return sweeping_; }
    void set_sweeping(std::optional<int> station);
    // Whether the poll reads the position and the state words.
    bool feedback_position() const { return feedback_position_; }
    bool feedback_states() const { return feedback_states_; }
    void set_feedback(bool position, bool states);
    // Entry n (0..22, P0 first) marked as typed into and not yet written.
    void set_unwritten(int entry, bool unwritten);
    bool unwritten(int entry) const { return unwritten_.contains(entry); }

    // Readings, reported every time.
    void add_entry_read(int entry, std::optional<qint16> value) { emit entry_read(entry, value); }
    void add_config_word_read(std::optional<qint16> word) { emit config_word_read(word); }
    void add_terminal_line(const QString& line, const QString& received) { emit terminal_line(line, received); }
    void clear_transcript() { emit transcript_cleared(); }

signals:
    void link_changed(bool open);
    void station_changed(int station, bool broadcast);
    // A read of "RV n" brought another value line than the last one (or
    // none where the last brought one), or the first since the station or
    // the link changed.
    void live_value_changed(qint16 RV_Group_num, const std::optional<QString>& value_line);
    void busy_changed(bool busy);
    void polling_changed(bool polling);
    // A poll tick that read something has ended; the recorder holds its
    // sample as the newest.
    void sample_recorded(const mivo::Recorder::Sample& sample);
    void stations_found(const QList<int>& stations);
    void availability_changed(const mivo::Availability::State& state);
    void station_list_changed(const QList<int>& stations);
    void sweeping_changed(std::optional<int> station);
    void feedback_changed(bool position, bool states);
    void unwritten_changed(int entry, bool unwritten);
    // An entry's read: its number, or nothing when the drive gave none.
    void entry_read(int entry, std::optional<qint16> value);
    // The configuration word's read (V5), or nothing when none came.
    void config_word_read(std::optional<qint16> word);
    // A raw line the terminal sent, and what came back to it.
    void terminal_line(const QString& line, const QString& received);
    void transcript_cleared();

private:
    bool link_open_ = false;
    std::optional<int> station_;
    bool broadcast_ = false;
    bool busy_ = false;
    bool polling_ = false;
    std::map<qint16, std::optional<QString>> live_;
    // Nothing until the first report, so that every view gets one.
    std::optional<Availability::State> availability_;
    QList<int> station_list_;
    std::optional<int> sweeping_;
    bool feedback_position_ = true;
    bool feedback_states_ = true;
    QSet<int> unwritten_;
};

}  // namespace mivo
