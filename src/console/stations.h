#pragma once

#include <QString>

namespace mivo {

class ConsoleContext;
class DriveOperations;
class LineOperations;

// Finding the stations on the line and selecting one, or all of them.
class Stations {
public:
    Stations(ConsoleContext& context, DriveOperations& operations, LineOperations& line)
        : c_(context), operations_(operations), line_(line)
    {
    }

    void search_click();  // "Search Station"
    // Probes every station number and lists those that answer, then 32.
    // Returns false when the link went away during the sweep.
    bool search_and_show_all_station();

    // "Set Station": the station as typed in the box, or 32 for broadcast
    // mode. The select line carries the text as typed.
    void set_station_click(const QString& station_text);
    // Selects as "Set Station" does, the station given as text, and starts
    // the poll; quiet leaves out the messages (a line that came back selects
    // again).
    void select(const QString& text, bool quiet);

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
    LineOperations& line_;
};

}  // namespace mivo
