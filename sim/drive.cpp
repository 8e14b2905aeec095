#include "drive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mivo::sim {

namespace {

std::vector<std::string_view> split(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Signed decimal as the console writes it (leading zeros tolerated, no plus sign).
std::optional<long long> parse_int(std::string_view text, long long lo, long long hi)
{
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::string hex(unsigned value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", value);
    return buf;
}

constexpr std::array<int, 16> kDefaultP = {1, 0, 100, 120, 10, 0, 1000, 500,
                                           200, 50, 3000, -3000, 16, 0, 2, 8};
constexpr std::array<int, 7> kDefaultV = {0, 100, 20, 0, 1, 33, 0};

}  // namespace

std::optional<int> station_selected_by(std::string_view line)
{
    const auto words = split(line);
    if (words.size() != 2 || words[0] != "ST")
        return std::nullopt;
    const auto n = parse_int(words[1], 0, 32);
    if (!n)
        return std::nullopt;
    return static_cast<int>(*n);
}

bool is_empty_line(std::string_view line)
{
    return split(line).empty();
}

Drive::Drive(int home_ms, int save_ms, MotionModel model)
    : home_ms_(home_ms), save_ms_(save_ms), p_(kDefaultP), v_(kDefaultV), model_(model)
{
}

int Drive::param(int group, int index) const
{
    return group == 0 ? p_.at(static_cast<std::size_t>(index)) : v_.at(static_cast<std::size_t>(index));
}

bool Drive::set_param(int group, int index, long long value)
{
    if (group < 0 || group > 1 || index < 0 || index >= kGroupSize[group])
        return false;
    const bool config_word = group == 1 && index == kConfigIndex;
    if (value < (config_word ? 0 : -32768) || value > (config_word ? 255 : 32767))
        return false;
    (group == 0 ? p_[static_cast<std::size_t>(index)] : v_[static_cast<std::size_t>(index)]) = static_cast<int>(value);
    return true;
}

std::int64_t Drive::position(double t_ms) const
{
    if (homing_until_ && t_ms >= *homing_until_)
        return 0;
    if (profile_)
        return profile_->at(t_ms - profile_start_ms_);
    if (!move_active_)
        return pos_;
    const auto travelled = static_cast<std::int64_t>(std::floor(speed_ * kCountsPerRevolution * std::max(0.0, t_ms - anchor_ms_) / 1000.0));
    const std::int64_t distance = target_ > pos_ ? target_ - pos_ : pos_ - target_;
    if (travelled >= distance)
        return target_;
    return target_ > pos_ ? pos_ + travelled : pos_ - travelled;
}

unsigned Drive::state_word(double t_ms) const
{
    const bool homed = homed_ || (homing_until_ && t_ms >= *homing_until_);
    unsigned word = 0;
    if (!servo_on_) word |= MF;
    if (fault_) word |= Fault;
    if (servo_on_) word |= SVON;
    if (moving_negative_) word |= DIR;
    if (inputs_ & 0x8) word |= NL;
    if (homed) word |= HOME;
    return word;
}

void Drive::settle(double t_ms)
{
    if (homing_until_ && t_ms >= *homing_until_) {
        homing_until_.reset();
        homed_ = true;
        pos_ = 0;
        move_active_ = false;
        profile_.reset();
    }
    if (profile_) {
        if (profile_->over(t_ms - profile_start_ms_))
            stop_profile(t_ms);
        return;  // a profile runs from its start, not from the last line
    }
    if (move_active_) {
        // The anchor moves to the moment the whole count was reached, not to
        // now: a drive asked often must not lose the part of a count it has
        // already travelled, or it would move slower the more it is read.
        const std::int64_t now = position(t_ms);
        const double counts_per_ms = speed_ * kCountsPerRevolution / 1000.0;
        if (counts_per_ms > 0)
            anchor_ms_ += static_cast<double>(now > pos_ ? now - pos_ : pos_ - now) / counts_per_ms;
        else
            anchor_ms_ = t_ms;
        pos_ = now;
        move_active_ = pos_ != target_;
    }
}

void Drive::stop_profile(double t_ms)
{
    if (!profile_)
        return;
    pos_ = position(t_ms);
    if (profile_->stalled() && pos_ == profile_->end())
        stalled_direction_ = profile_->direction();
    profile_.reset();
    move_active_ = false;
}

void Drive::start_profile(std::int64_t target, double t_ms)
{
    const std::int64_t here = position(t_ms);
    const int direction = target > here ? 1 : target < here ? -1 : 0;
    // The speed under way carries into a new move the same way.
    double carried = 0;
    if (profile_ && profile_->direction() == direction)
        carried = profile_->speed_at(t_ms - profile_start_ms_);
    stop_profile(t_ms);
    // Against the hard stop already: no further that way.
    if (model_.stall_at && here == *model_.stall_at && direction == stalled_direction_)
        return;
    stalled_direction_ = 0;
    profile_.emplace(here, target, speed_ * kCountsPerRevolution, carried, model_);
    profile_start_ms_ = t_ms;
    move_active_ = true;
    if (direction != 0)
        moving_negative_ = direction < 0;
}

void Drive::start_move(std::int64_t target, double t_ms)
{
    if (!servo_on_)
        return;  // no torque, no motion: the command is taken but nothing moves
    if (model_.active()) {
        start_profile(target, t_ms);
        return;
    }
    target_ = target;
    anchor_ms_ = t_ms;
    move_active_ = target_ != pos_;
    if (move_active_)
        moving_negative_ = target_ < pos_;
}

Drive::Result Drive::execute(std::string_view line, double t_ms)
{
    settle(t_ms);
    const auto words = split(line);
    Result ok;
    Result error;
    error.lines = {"ERR"};
    if (words.empty())
        return ok;  // the empty line: prompt only

    const std::string_view cmd = words[0];
    const std::size_t argc = words.size() - 1;
    const auto arg = [&](std::size_t i, long long lo, long long hi) { return parse_int(words[i], lo, hi); };

    if (cmd == "ST")
        return station_selected_by(line) ? ok : error;

    if (cmd == "RV" && argc == 1) {
        const auto n = arg(1, 0, 5);
        if (!n)
            return error;
        switch (*n) {
        case 0: ok.lines = {std::to_string(position(t_ms))}; return ok;
        case 2: ok.lines = {hex(state_word(t_ms))}; return ok;
        case 4: ok.lines = {"MIVO-S 2.31"}; return ok;
        case 5: ok.lines = {hex(inputs_)}; return ok;
        default: return error;
        }
    }

    if (cmd == "RD" && argc == 2) {
        const auto group = arg(1, 0, 1);
        if (!group)
            return error;
        const auto index = arg(2, 0, kGroupSize[*group] - 1);
        if (!index)
            return error;
        ok.lines = {(*group == 0 ? "P" : "V") + std::to_string(*index) + "="
                    + std::to_string(param(static_cast<int>(*group), static_cast<int>(*index)))};
        return ok;
    }

    if (cmd == "WT" && argc == 3) {
        const auto group = arg(1, 0, 1);
        const auto index = arg(2, 0, 99);
        const auto value = arg(3, -32768, 32767);
        if (!group || !index || !value || !set_param(static_cast<int>(*group), static_cast<int>(*index), *value))
            return error;
        return ok;
    }

    if (cmd == "SV" && argc == 0) {
        ok.busy_ms = save_ms_;
        ok.save = true;
        return ok;
    }

    if (cmd == "EN" && argc == 1) {
        const auto on = arg(1, 0, 1);
        if (!on)
            return error;
        servo_on_ = *on == 1;
        if (!servo_on_) {
            stop_profile(t_ms);
            move_active_ = false;
        }  // settle() has brought pos_ up to now
        return ok;
    }

    if (cmd == "HM" && argc == 0) {
        stop_profile(t_ms);
        move_active_ = false;
        homing_until_ = t_ms + home_ms_;
        ok.busy_ms = home_ms_;
        return ok;
    }

    if (cmd == "VA" && argc == 1) {
        const auto speed = arg(1, 0, 1'000'000);
        if (!speed)
            return error;
        speed_ = static_cast<int>(*speed);  // a running move goes on from here at the new speed
        return ok;
    }

    if (cmd == "MA" && argc == 1) {
        const auto target = arg(1, INT32_MIN, INT32_MAX);
        if (!target)
            return error;
        start_move(*target, t_ms);
        return ok;
    }

    return error;
}

}  // namespace mivo::sim
