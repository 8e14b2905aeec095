#pragma once

namespace mivo {

struct ConsoleContext;

// Finding the stations on the line.
class Stations {
public:
    explicit Stations(ConsoleContext& context) : c_(context) {}

    void search_click();  // "Search Station"
    // Probes every station number and lists those that answer, then 32.
    // Returns false when the link went away during the sweep.
    bool search_and_show_all_station();

private:
    void append_station(int station);

    ConsoleContext& c_;
};

}  // namespace mivo
