// How a simulated drive gets from one position to another when the line is
// started with a motion model (--accel, --ringing, --stall-at): a
// trapezoidal speed profile, a decaying ringing about the target, a hard
// stop. The model is the simulator's own, simple enough that a trace taken
// through the console can be checked against it.
#pragma once

#include <cstdint>
#include <optional>

namespace mivo::sim {

struct Ringing {
    double amplitude = 0;   // counts
    double period_ms = 1;
    double decay_ms = 1;    // time constant of the envelope
};

struct MotionModel {
    double accel = 0;                   // counts/s^2; 0: the speed is reached at once
    std::optional<Ringing> ringing;     // after reaching the target
    std::optional<std::int64_t> stall_at;  // a hard stop at this position
    bool active() const { return accel > 0 || ringing || stall_at; }
};

// One move, from its start (elapsed 0) on. Positions are counts; a reading
// is the travelled distance cut to whole counts, plus the ringing rounded.
class MoveProfile {
public:
    // speed: counts/s; start_speed: counts/s towards the target already
    // under way (a new target given during a move), cut to what can still
    // stop in time.
    MoveProfile(std::int64_t start, std::int64_t target, double speed, double start_speed, const MotionModel& model);

    std::int64_t at(double elapsed_ms) const;
    // Unrounded, for comparing with what was read.
    double exact_at(double elapsed_ms) const;
    // Speed along the move, counts/s (ringing left out).
    double speed_at(double elapsed_ms) const;
    // When the travel ends: at the target, or at the hard stop.
    std::optional<double> arrival_ms() const;
    // Standing still at end() for good: travelled and rung out.
    bool over(double elapsed_ms) const;
    std::int64_t end() const { return stalled_ ? stop_ : target_; }
    bool stalled() const { return stalled_; }
    int direction() const { return dir_; }

private:
    double travel(double t_s) const;  // counts along the move, before the stop
    double ring(double elapsed_ms) const;

    std::int64_t start_;
    std::int64_t target_;
    int dir_ = 0;
    double distance_ = 0;
    double accel_ = 0;
    double v0_ = 0, vp_ = 0;           // start and peak speed
    double t1_ = 0, t2_ = 0, t3_ = 0;  // accelerating, cruising, braking (s)
    double d1_ = 0, d2_ = 0;
    bool moves_ = false;
    bool stalled_ = false;
    std::int64_t stop_ = 0;
    double stop_distance_ = 0;
    std::optional<double> arrival_ms_;
    std::optional<Ringing> ringing_;
};

}  // namespace mivo::sim
