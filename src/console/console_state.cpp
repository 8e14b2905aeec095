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

}  // namespace mivo
