#pragma once

#include "console/availability.h"
#include "window/controls.h"

#include <QList>
#include <QString>

#include <optional>

#include <QObject>

namespace mivo {

class ConsoleState;
class LinePane;

// The window follows the console's state: the lights, the value boxes, the
// station box, the Setup and Config boxes, the transcript, the "FeedBack"
// boxes and which controls can be used all come from ConsoleState, whoever
// changed it (a handler, the poll, the command-line tool's operations).
class StateFollower : public QObject {
    Q_OBJECT
public:
    StateFollower(const ConsoleState& state, Form1Controls& ui, LinePane& line_pane, QObject* parent = nullptr);

private:
    void show_live_value(qint16 RV_Group_num, const std::optional<QString>& value);
    void show_availability(const Availability::State& state);
    void show_station_list(const QList<int>& stations);
    void show_entry(int entry, std::optional<qint16> value);
    void mark_unwritten(int entry, bool unwritten);
    void show_config_word(std::optional<qint16> word);

    Form1Controls& ui_;
    LinePane& line_pane_;
};

}  // namespace mivo
