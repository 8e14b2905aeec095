#include "cli/interruption.h"

#include "link/command_exchange.h"
#include "link/signal_wake.h"

#include <atomic>
#include <csignal>

namespace mivo::cli {

namespace {

// What the handler may touch: lock-free atomics.
std::atomic<CommandExchange*> stop_target{nullptr};
std::atomic_bool stop_resumable{false};
CommandExchange* exchange_of_run = nullptr;

static_assert(std::atomic<CommandExchange*>::is_always_lock_free);
static_assert(std::atomic_bool::is_always_lock_free);

// Inside the handler: the exchange stops at once.
void stop_exchange(int)
{
    if (CommandExchange* exchange = stop_target.load()) {
        if (stop_resumable.load())
            exchange->stop_waits();
        else
            exchange->shut_down();
    }
}

}  // namespace

Interruption::Interruption(CommandExchange& exchange)
{
    stop_resumable.store(false);
    exchange_of_run = &exchange;
    stop_target.store(&exchange);
    // The exchange to stop is known before the first signal can come.
    wake_ = std::make_unique<SignalWake>(stop_exchange);
    connect(wake_.get(), &SignalWake::woke, this, &Interruption::interrupted);
}

Interruption::~Interruption()
{
    wake_.reset();
    stop_target.store(nullptr);
    exchange_of_run = nullptr;
}

int Interruption::signal_number() const
{
    return SignalWake::signal_number();
}

QString Interruption::signal_name() const
{
    switch (signal_number()) {
    case 0: return {};
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
#ifdef SIGHUP
    case SIGHUP: return QStringLiteral("SIGHUP");
#endif
    default: return QStringLiteral("signal %1").arg(signal_number());
    }
}

void Interruption::end_by_signal(int number)
{
    SignalWake::end_by(number);
}

void Interruption::set_stop_resumable(bool on)
{
    stop_resumable.store(on);
}

void Interruption::set_stops_exchange(bool on)
{
    stop_target.store(on ? exchange_of_run : nullptr);
}

}  // namespace mivo::cli
