#include "console/console_state.h"

namespace mivo {

std::optional<QString> ConsoleState::live_value(qint16 RV_Group_num) const
{
    const auto it = live_.find(RV_Group_num);
    return it == live_.end() ? std::nullopt : it->second;
}

void ConsoleState::set_link_open(bool open)
{
    if (open == link_open_)
        return;
    link_open_ = open;
    // A new link starts with nothing selected and nothing read.
    station_.reset();
    live_.clear();
    emit link_changed(open);
}

void ConsoleState::set_station(int station, bool broadcast)
{
    if (station_ == station && broadcast_ == broadcast)
        return;
    station_ = station;
    broadcast_ = broadcast;
    live_.clear();
    emit station_changed(station, broadcast);
}

void ConsoleState::set_live_value(qint16 RV_Group_num, const std::optional<QString>& value_line)
{
    const auto it = live_.find(RV_Group_num);
    if (it != live_.end() && it->second == value_line)
        return;
    live_[RV_Group_num] = value_line;
    emit live_value_changed(RV_Group_num, value_line);
}

void ConsoleState::set_polling(bool polling)
{
    if (polling == polling_)
        return;
    polling_ = polling;
    emit polling_changed(polling);
}

void ConsoleState::set_busy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    emit busy_changed(busy);
}

void ConsoleState::set_availability(const Availability::State& state)
{
    if (availability_ == state)
        return;
    availability_ = state;
    emit availability_changed(state);
}

void ConsoleState::set_station_list(const QList<int>& stations)
{
    if (stations == station_list_)
        return;
    station_list_ = stations;
    emit station_list_changed(stations);
}

void ConsoleState::set_sweeping(std::optional<int> station)
{
    if (station == sweeping_)
        return;
    sweeping_ = station;
    emit sweeping_changed(station);
}

void ConsoleState::set_feedback(bool position, bool states)
{
    if (position == feedback_position_ && states == feedback_states_)
        return;
    feedback_position_ = position;
    feedback_states_ = states;
    emit feedback_changed(position, states);
}

void ConsoleState::set_unwritten(int entry, bool unwritten)
{
    if (unwritten == unwritten_.contains(entry))
        return;
    if (unwritten)
        unwritten_.insert(entry);
    else
        unwritten_.remove(entry);
    emit unwritten_changed(entry, unwritten);
}

}  // namespace mivo
