#include "console/poll_gate.h"

#include "console/link_guard.h"

namespace mivo {

PollGate::PollGate(QObject* parent) : QObject(parent)
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &PollGate::tick);
}

void PollGate::start(const LinkGuard& link)
{
    if (holds_ == 0 && link.up())
        Timer1.start();
}

void PollGate::stop()
{
    Timer1.stop();
}

PollGate::Hold::Hold(PollGate& gate, const LinkGuard& link, After after)
    : gate_(gate), link_(link), on_after_(after == After::On || gate.running())
{
    ++gate_.holds_;
    gate_.stop();
}

PollGate::Hold::~Hold()
{
    --gate_.holds_;
    if (on_after_)
        gate_.start(link_);
}

}  // namespace mivo
