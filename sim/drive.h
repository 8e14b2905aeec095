// One drive on the line: its parameters, its motion and the commands it obeys.
// Station selection is the line's business (see Simulator); a drive only
// answers what reaches it.
#pragma once

#include "motion_profile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::sim {

// The station an "ST n" line selects (0..31, 32 for all), or nothing when the
// line is not a well-formed station select.
std::optional<int> station_selected_by(std::string_view line);

// True for the empty line (blanks alone count as empty).
bool is_empty_line(std::string_view line);

class Drive {
public:
    static constexpr int kGroupSize[2] = {16, 7};  // P group, V group
    static constexpr int kConfigIndex = 5;        // V5: the configuration word

    // State word bits ("RV 2").
    enum StateBit : unsigned {
        MF = 1u << 0, Fault = 1u << 1, SVON = 1u << 2, DIR = 1u << 3,
        NL = 1u << 4, PL = 1u << 5, HOME = 1u << 6, DO = 1u << 7,
    };

    struct Result {
        std::vector<std::string> lines;  // value lines before the prompt
        double busy_ms = 0;              // the drive works this long before it answers
        bool save = false;               // "SV": keep the P and V groups
    };

    // model: how moves run; off (the default), a move runs at its speed
    // from the first moment and stops dead at the target.
    Drive(int home_ms, int save_ms, MotionModel model = {});

    // Obeys one line at time t_ms (monotonic ms). Time only moves forward.
    Result execute(std::string_view line, double t_ms);

    int param(int group, int index) const;
    // Stores a value as "WT" would; false when group, index or value is out of range.
    bool set_param(int group, int index, long long value);

    // The drive has faulted: its state word says so from now on (the
    // simulator models no cause and no reset).
    void report_fault() { fault_ = true; }

    // Live values at time t_ms.
    std::int64_t position(double t_ms) const;
    unsigned state_word(double t_ms) const;
    unsigned input_word() const { return inputs_; }

private:
    void settle(double t_ms);
    void start_move(std::int64_t target, double t_ms);
    void start_profile(std::int64_t target, double t_ms);
    // Where the move under the model stands; its end once it is over.
    void stop_profile(double t_ms);

    int home_ms_;
    int save_ms_;
    std::array<int, 16> p_;
    std::array<int, 7> v_;
    unsigned inputs_ = 0x1;  // DI1 high, DI2, DI3 and NL low
    bool servo_on_ = false;
    bool fault_ = false;
    bool homed_ = false;
    bool moving_negative_ = false;
    // "VA": revolutions per second, of kCountsPerRevolution counts each.
    static constexpr double kCountsPerRevolution = 4000;
    int speed_ = 1;

    // Position: pos_ at anchor_ms_, then moving towards target_ at speed_ while move_active_.
    std::int64_t pos_ = 0;
    bool move_active_ = false;
    double anchor_ms_ = 0;
    std::int64_t target_ = 0;
    std::optional<double> homing_until_;

    // Under a motion model: the move under way, from profile_start_ms_.
    MotionModel model_;
    std::optional<MoveProfile> profile_;
    double profile_start_ms_ = 0;
    int stalled_direction_ = 0;  // the way the last move ran into the hard stop
};

}  // namespace mivo::sim
