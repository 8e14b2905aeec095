#include "console/reconnection.h"

#include "console/console_context.h"
#include "console/port_control.h"
#include "console/stations.h"
#include "link/port_name.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace mivo {

Reconnection::Reconnection(ConsoleContext& context, PortControl& port_control, Stations& stations)
    : c_(context), port_control_(port_control), stations_(stations)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire early; the pauses are promised.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Reconnection::try_now);
    port_control_.set_loss_is_old_news([this] { return lost_unanswered_; });
}

void Reconnection::set_enabled(bool on)
{
    enabled_ = on;
    if (!on)
        stop();
}

bool Reconnection::begin()
{
    if (!enabled_ || !c_.vars.is_linked || port_control_.opened_name().isEmpty())
        return false;
    trying_ = true;
    name_ = port_control_.lasting_name();
    network_ = names_network_line(name_);
    const bool answered = !reopened_ || c_.exchange.answers() != answers_at_open_;
    lost_unanswered_ = !answered;
    // Taken before the loss is handled, which clears it; a line lost while
    // we selected again has none yet.
    if (!reopened_ || c_.state.station())
        station_ = c_.state.station();
    reopened_ = false;
    pause_ms_ = answered ? kFirstNetworkTryMs : std::min(pause_ms_ * 2, kLongestNetworkPauseMs);
    again_in(network_ ? pause_ms_ : kLocalCheckMs);
    return true;
}

void Reconnection::stop()
{
    trying_ = false;
    reopened_ = false;
    timer_.stop();
}

void Reconnection::again_in(int ms)
{
    timer_.start(ms);
}

void Reconnection::try_now()
{
    if (!trying_)
        return;
    if (c_.vars.is_linked) {
        stop();  // opened by hand meanwhile
        return;
    }
    // A local device is opened only once its name is there again: trying a
    // missing device costs nothing, but says nothing either.
    if (!network_ && !QFileInfo::exists(name_)) {
        again_in(kLocalCheckMs);
        return;
    }
    if (!port_control_.open_named(name_, true)) {
        if (!trying_)
            return;  // stopped while a network port was being opened
        if (network_) {
            pause_ms_ = std::min(pause_ms_ * 2, kLongestNetworkPauseMs);
            again_in(pause_ms_);
        } else {
            again_in(kLocalCheckMs);
        }
        return;
    }
    trying_ = false;
    reopened_ = true;
    answers_at_open_ = c_.exchange.answers();
    std::fprintf(stderr, "%s: the line is back\n", qPrintable(name_));
    if (station_)
        stations_.select(QString::number(*station_), true);
    // Lost again while selecting: the tries have begun anew.
    if (!trying_)
        emit reconnected();
}

}  // namespace mivo
