#pragma once

#include "console/recorder.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <map>
#include <optional>

namespace mivo {

// What front ends follow, kept in one place: whether the link is open, the
// station selected, the last live values read, whether an operation of
// several lines runs, whether a poll tick runs, and each poll tick's sample.
// Any number of views (the window, its panes, a script) connect to its
// signals; each comes only when its value changed (a sample with every
// tick that read something).
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

private:
    bool link_open_ = false;
    std::optional<int> station_;
    bool broadcast_ = false;
    bool busy_ = false;
    bool polling_ = false;
    std::map<qint16, std::optional<QString>> live_;
};

}  // namespace mivo
