// Wire log of the drive simulator: every line received and every reply sent,
// with the monotonic time at which it crossed the line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::sim {

// Milliseconds on CLOCK_MONOTONIC, the clock of every wire log time.
double monotonic_ms();

struct WireEvent {
    enum Dir { Rx, Tx };
    double t_ms = 0;  // monotonic_ms() when the line was complete / the reply was written
    Dir dir = Rx;
    std::string bytes;  // Rx: the line without its CR (LF dropped); Tx: the raw bytes written
};

// Bytes as they appear between the quotes of a log line: CR as \r, LF as \n,
// TAB as \t, quote and backslash escaped, other control and non-ASCII bytes as \xHH.
std::string escape_bytes(std::string_view bytes);

// One log line without its newline: 1234.567 rx "ST 5"
std::string format_event(const WireEvent& event);

// Thread-safe: the simulator thread adds, a test thread reads and clears.
class WireLog {
public:
    // file: empty for no file; keep_in_memory: false for a long-running server.
    WireLog(const std::string& file, bool keep_in_memory);
    ~WireLog();
    WireLog(const WireLog&) = delete;
    WireLog& operator=(const WireLog&) = delete;

    void add(WireEvent::Dir dir, std::string bytes, double t_ms);
    std::vector<WireEvent> events() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<WireEvent> events_;
    std::FILE* file_ = nullptr;
    bool keep_in_memory_;
};

}  // namespace mivo::sim
