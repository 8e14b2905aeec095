// Command-line options of the drive simulator; the in-process harness takes the same list.
#pragma once

#include "motion_profile.h"

#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace mivo::sim {

struct OptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SimOptions {
    std::vector<int> stations{0};  // present drives, ascending, 0..31
    std::string link;              // symlink published for the slave; empty: none
    std::string log_file;
    std::string state_file;        // where "SV" keeps the P and V groups
    int latency_ms = 3;            // from the end of a command to its reply
    int home_ms = 2000;            // length of a homing run
    int save_ms = 300;             // time "SV" takes before the prompt
    MotionModel motion;            // off unless --accel, --ringing or --stall-at

    // Faults, for tests.
    std::set<int> mute_empty;      // stations that do not answer the empty line
    std::set<int> silent;          // stations that never answer (they still act)
    std::optional<int> late_ms;    // replaces latency_ms
    bool no_cr = false;            // value lines without their CR
    int garbage = 0;               // random bytes before every reply
    int burst = 0;                 // filler bytes sent after the first line
    int hangup_after = 0;          // close the line after this many lines; 0: never
    int mute_after = 0;            // no drive answers after this many lines; 0: never
    int fault_after = 0;           // every drive reports Fault from this many lines on; 0: never
    std::set<std::string> refused; // entries ("P3", "V5") whose "WT" gets "ERR" and changes nothing
};

// Throws OptionError with a message fit for stderr. --link is optional here:
// the executable requires it, the harness makes one up.
SimOptions parse_options(const std::vector<std::string>& args);

std::string usage_text();

}  // namespace mivo::sim
