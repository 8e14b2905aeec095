// In-process drive simulator for tests: a line of simulated drives on a fresh
// pseudo-terminal, served by a thread of the calling process.
//
//     mivo::sim::SimHarness sim({"--stations", "0,5", "--silent", "5"});
//     open(sim.path().c_str(), O_RDWR | O_NOCTTY);  // or QSerialPort on sim.path()
//
// The simulator thread never touches Qt; every member here may be called from
// the test's thread (a Qt test's main thread included).
#pragma once

#include "wire_log.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mivo::sim {

class Simulator;

class SimHarness {
public:
    // The options of mivo-drive-sim. Without --link the harness makes a unique
    // symlink under /tmp. Throws OptionError for bad options and
    // std::runtime_error when the line cannot be set up. Serving has begun
    // (and path() exists) when the constructor returns.
    explicit SimHarness(const std::vector<std::string>& args = {});
    ~SimHarness();  // stop()
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    const std::string& path() const;         // the symlink to open
    const std::string& device_path() const;  // the slave itself, /dev/pts/N

    std::vector<WireEvent> wire_log() const;  // a copy, in the order of events
    std::vector<std::string> rx_lines() const;  // just the received lines
    void clear_log();

    // Stops serving and removes the link; returns promptly. Idempotent.
    void stop();
    // False after stop() or after the line was hung up (--hangup-after).
    bool running() const;

    // The clock of the wire log times (CLOCK_MONOTONIC, ms).
    static double now_ms();

private:
    std::unique_ptr<Simulator> sim_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace mivo::sim
