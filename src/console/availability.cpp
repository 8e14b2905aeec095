#include "console/availability.h"

namespace mivo {

void Availability::opening_started()
{
    opening_ = true;
}

void Availability::opening_ended()
{
    opening_ = false;
}

void Availability::link_opened()
{
    linked_ = true;
}

void Availability::link_closed()
{
    linked_ = false;
    tabs_ = false;
    selected_ = false;
}

void Availability::search_started()
{
    searching_ = true;
}

void Availability::search_ended()
{
    searching_ = false;
}

void Availability::station_selected(Mode mode)
{
    mode_ = mode;
    tabs_ = true;
    selected_ = mode == Mode::Normal;
}

void Availability::cycle_started()
{
    ++cycles_;
    stoppable_ = true;
}

void Availability::cycle_stop_pressed()
{
    stoppable_ = false;
}

void Availability::cycle_ended()
{
    if (cycles_ > 0)
        --cycles_;
    stoppable_ = false;
}

void Availability::drive_operation_started()
{
    ++drive_operations_;
}

void Availability::drive_operation_ended()
{
    if (drive_operations_ > 0)
        --drive_operations_;
}

Availability::State Availability::state() const
{
    State s;
    s.cmd_port_open = !linked_ && !opening_;
    s.cmd_port_close = linked_;
    // Selecting a station in the middle of the sweep would mix its exchange
    // into the probes and leave the line on another station than the list
    // suggests, so the station controls wait for the sweep too. They wait
    // for a cycle as well: it goes on sending its moves to whatever station
    // the line is left on.
    const bool station_free = linked_ && !searching_ && cycles_ == 0 && drive_operations_ == 0;
    s.cbb_station_num = station_free;
    s.cmd_search_station = station_free;
    s.cmd_set_station = station_free;
    // The sweep moves the line through every station: a page read or a
    // terminal line in the middle would answer for a drive nobody chose and
    // could hide a station from the list.
    // A settings-file operation lets "Close" and the window's closing in
    // between its lines; nothing else may talk to the drive meanwhile.
    s.SSTab1 = tabs_ && !searching_ && drive_operations_ == 0;

    // In broadcast mode no drive answers, so the pages that read the drive
    // stay closed; a cycle keeps only "Motion" reachable.
    const bool idle = cycles_ == 0;
    const bool reads_possible = mode_ != Mode::Broadcast;
    s.pages = {idle, true, idle && reads_possible, idle && reads_possible};
    const char* reason = !idle ? "Unavailable while the motion cycle runs."
                               : "Unavailable in broadcast mode: no drive answers.";
    for (std::size_t i = 0; i < s.pages.size(); ++i)
        s.page_reasons[i] = s.pages[i] ? nullptr : reason;
    s.cmd_start_move = !stoppable_;
    s.cmd_stop_move = stoppable_;
    // A settings file is read from and written to one drive that answers,
    // and no other exchange of several lines may come between.
    s.drive_menu = linked_ && selected_ && !searching_ && cycles_ == 0 && drive_operations_ == 0;
    s.line_batch = linked_ && !searching_ && cycles_ == 0 && drive_operations_ == 0;
    return s;
}

}  // namespace mivo
