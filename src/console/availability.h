#pragma once

#include <array>

namespace mivo {

// Which controls and pages can be used, decided in one place. Handlers
// report what happened; the window applies the resulting state to its
// widgets. Nothing here knows about widgets.
class Availability {
public:
    enum class Mode { Normal, Broadcast };

    // The enabled flag of every control whose flag the console changes.
    struct State {
        bool cmd_port_open = true;
        bool cmd_port_close = false;
        bool cbb_station_num = false;
        bool cmd_search_station = false;
        bool cmd_set_station = false;
        bool SSTab1 = true;
        std::array<bool, 4> pages{true, true, true, true};
        // Why a page is unavailable, for its tab's tip (a screen reader reads
        // it as the tab's description); null while it is available.
        std::array<const char*, 4> page_reasons{};
        bool cmd_start_move = true;
        bool cmd_stop_move = false;
        // The "Drive" menu: back up, compare, restore.
        bool drive_menu = false;
        // The "Line" pane's operations on every station.
        bool line_batch = false;

        bool operator==(const State&) const = default;
    };

    // A network port resolves and connects with events processed; nothing
    // may open, close or send meanwhile.
    void opening_started();
    void opening_ended();
    void link_opened();
    // By "Close", or by the port going away under us.
    void link_closed();
    void search_started();
    void search_ended();
    void station_selected(Mode mode);
    void cycle_started();
    // "Stop": the running cycle finishes its iteration, "Start Move" is back.
    void cycle_stop_pressed();
    void cycle_ended();
    // A backup, compare or restore of the drive's settings.
    void drive_operation_started();
    void drive_operation_ended();

    State state() const;
    bool cycle_running() const { return cycles_ > 0; }
    bool opening() const { return opening_; }
    // An exchange of several lines runs: a search, a cycle, a settings file.
    bool busy() const { return opening_ || searching_ || cycles_ > 0 || drive_operations_ > 0; }

private:
    bool linked_ = false;
    bool opening_ = false;
    bool searching_ = false;
    // The whole tab control: usable at load, closed with the link, opened
    // again only by a station selection.
    bool tabs_ = true;
    // No station selected yet reads the drive pages like a normal one.
    Mode mode_ = Mode::Normal;
    // Cycles under way: a second "Start Move" pressed while a stopped cycle
    // finishes runs inside that cycle's wait.
    int cycles_ = 0;
    bool stoppable_ = false;
    // A single station has been selected on this link.
    bool selected_ = false;
    int drive_operations_ = 0;
};

}  // namespace mivo
