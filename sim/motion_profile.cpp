#include "motion_profile.h"

#include <algorithm>
#include <cmath>

namespace mivo::sim {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

MoveProfile::MoveProfile(std::int64_t start, std::int64_t target, double speed, double start_speed,
                         const MotionModel& model)
    : start_(start), target_(target), ringing_(model.ringing)
{
    dir_ = target > start ? 1 : target < start ? -1 : 0;
    distance_ = std::abs(static_cast<double>(target - start));
    accel_ = model.accel;
    moves_ = dir_ != 0 && speed > 0;
    if (!moves_) {
        ringing_.reset();  // a move to where it stands does not ring
        if (dir_ == 0)
            arrival_ms_ = 0;
        return;
    }
    if (accel_ > 0) {
        v0_ = std::clamp(start_speed, 0.0, std::min(speed, std::sqrt(2 * accel_ * distance_)));
        vp_ = std::min(speed, std::sqrt((2 * accel_ * distance_ + v0_ * v0_) / 2));
        t1_ = (vp_ - v0_) / accel_;
        d1_ = (vp_ * vp_ - v0_ * v0_) / (2 * accel_);
        t3_ = vp_ / accel_;
        d2_ = std::max(0.0, distance_ - d1_ - vp_ * vp_ / (2 * accel_));
        t2_ = d2_ / vp_;
    } else {
        vp_ = speed;
        t2_ = distance_ / speed;
        d2_ = distance_;
    }
    const double total_s = t1_ + t2_ + t3_;
    stop_distance_ = distance_;
    if (model.stall_at) {
        const double to_stop = static_cast<double>(*model.stall_at - start) * dir_;
        if (to_stop > 0 && to_stop <= distance_) {
            stalled_ = true;
            stop_ = *model.stall_at;
            stop_distance_ = to_stop;
            ringing_.reset();  // a hard stop does not ring
        }
    }
    if (!stalled_) {
        arrival_ms_ = total_s * 1000;
        return;
    }
    // The travel is monotonic: halve the interval down to a microsecond.
    double lo = 0, hi = total_s;
    while (hi - lo > 1e-6) {
        const double mid = (lo + hi) / 2;
        (travel(mid) >= stop_distance_ ? hi : lo) = mid;
    }
    arrival_ms_ = hi * 1000;
}

double MoveProfile::travel(double t) const
{
    if (t <= 0)
        return 0;
    if (t < t1_)
        return v0_ * t + accel_ * t * t / 2;
    if (t < t1_ + t2_)
        return d1_ + vp_ * (t - t1_);
    const double tau = t - t1_ - t2_;
    if (tau < t3_)
        return std::min(distance_, d1_ + d2_ + vp_ * tau - accel_ * tau * tau / 2);
    return distance_;
}

double MoveProfile::ring(double elapsed_ms) const
{
    if (!ringing_ || !arrival_ms_ || elapsed_ms <= *arrival_ms_)
        return 0;
    const double tau = elapsed_ms - *arrival_ms_;
    return dir_ * ringing_->amplitude * std::exp(-tau / ringing_->decay_ms) * std::sin(2 * kPi * tau / ringing_->period_ms);
}

double MoveProfile::exact_at(double elapsed_ms) const
{
    if (!moves_)
        return static_cast<double>(start_);
    const double along = std::min(travel(elapsed_ms / 1000), stop_distance_);
    return static_cast<double>(start_) + dir_ * along + ring(elapsed_ms);
}

std::int64_t MoveProfile::at(double elapsed_ms) const
{
    if (!moves_)
        return start_;
    // Whole counts travelled, as the drive's counter shows them.
    const double along = std::min(std::floor(travel(elapsed_ms / 1000) + 1e-9), std::floor(stop_distance_));
    return start_ + dir_ * static_cast<std::int64_t>(along) + std::lround(ring(elapsed_ms));
}

double MoveProfile::speed_at(double elapsed_ms) const
{
    const double t = elapsed_ms / 1000;
    if (!moves_ || t <= 0 || (arrival_ms_ && elapsed_ms >= *arrival_ms_))
        return 0;
    if (t < t1_)
        return v0_ + accel_ * t;
    if (t < t1_ + t2_)
        return vp_;
    return std::max(0.0, vp_ - accel_ * (t - t1_ - t2_));
}

std::optional<double> MoveProfile::arrival_ms() const
{
    return arrival_ms_;
}

bool MoveProfile::over(double elapsed_ms) const
{
    if (!arrival_ms_ || elapsed_ms < *arrival_ms_)
        return false;
    if (!ringing_ || ringing_->amplitude < 0.5)
        return true;
    // Once the envelope is under half a count, every reading is the target.
    return elapsed_ms - *arrival_ms_ > ringing_->decay_ms * std::log(2 * ringing_->amplitude);
}

}  // namespace mivo::sim
