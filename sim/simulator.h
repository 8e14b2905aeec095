// A multi-drop line of simulated drives behind the master side of a pseudo-terminal.
//
// The line:
//  - Lines end with CR; LF is ignored. Nothing is echoed.
//  - "ST n" selects station n (0..31) or all (32). Station 0 is selected at start.
//    Only the selected station answers, if present; under 32 every present drive
//    obeys but none answers, prompt included.
//  - A reply is the value lines, each ended by CR, then the prompt ">". It goes out
//    latency_ms after the drive has finished the command ("HM" and "SV" take time).
//  - A drive works through its lines one at a time: a line that reaches it while it
//    homes or saves waits its turn. The line itself is read all the time.
//  - A slave descriptor stays open inside the simulator, so a client may close and
//    reopen the port. What the client had not read when it closed, and whatever the
//    drives send while no client has the port open, is lost (still logged as sent),
//    so a reopened port starts with an empty receive buffer, as a real one does.
//    The simulator learns of the close a moment after it happens: a client that
//    reopens within that moment may still find the bytes it left unread.
#pragma once

#include "drive.h"
#include "sim_options.h"
#include "state_store.h"
#include "wire_log.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mivo::sim {

class Simulator {
public:
    // Opens the pseudo-terminal, puts the slave in raw mode, publishes options.link
    // (if given) and loads the state file. Throws std::runtime_error on failure.
    explicit Simulator(SimOptions options, bool keep_log_in_memory = true);
    ~Simulator();  // closes the line and removes the link if it is still ours
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const std::string& link_path() const { return options_.link; }
    const std::string& device_path() const { return device_; }

    // Serves until request_stop() or until the line is hung up (--hangup-after).
    void run();
    // Safe from any thread and from a signal handler.
    void request_stop() noexcept;
    bool hung_up() const noexcept { return hung_up_.load(); }
    // Closes the line and removes the link; run() must have returned. Idempotent.
    void close();

    WireLog& log() { return log_; }

private:
    struct PendingLine {
        std::string text;
        double rx_ms;
        bool answer;  // false under broadcast
        std::uint64_t number;  // counted from 1 as received, for --mute-after
    };
    struct Station {
        int number;
        Drive drive;
        std::deque<PendingLine> inbox;
        double busy_until = 0;
        double last_due = 0;
    };

    void open_line();
    void publish_link();
    void remove_link();
    void close_line();
    void hang_up();

    void read_client_events();
    void read_line_bytes();
    void take_line(std::string line, double t_ms);
    void work(Station& station, double now_ms);
    void send_due_replies(double now_ms);
    void transmit(std::string bytes);
    void write_out();
    // A "WT" of an entry given with --refuse.
    bool refused(const std::string& line) const;
    std::string reply_bytes(const std::vector<std::string>& lines);
    double next_deadline() const;  // < 0: nothing scheduled

    SimOptions options_;
    WireLog log_;
    StateStore store_;
    std::vector<Station> stations_;
    int selected_ = 0;

    int master_ = -1;
    int slave_ = -1;     // held open so the master never sees a hang-up from the client side
    int inotify_ = -1;   // tells when a client opens or closes the slave
    int stop_fd_ = -1;   // eventfd written by request_stop()
    std::string device_;
    bool link_published_ = false;
    int client_opens_ = 0;
    std::atomic<bool> hung_up_{false};

    std::string partial_;         // bytes of the line being received
    bool partial_overflow_ = false;
    std::uint64_t lines_received_ = 0;
    std::multimap<std::pair<double, std::uint64_t>, std::string> replies_;  // (due, order) -> bytes
    std::uint64_t reply_order_ = 0;
    std::string out_;             // bytes the line has not taken yet
    std::uint32_t noise_ = 0x4D49564F;  // fixed seed: the same garbage every run
};

}  // namespace mivo::sim
