#include "recipe/recipe_watch.h"

#include "link/command_exchange.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <chrono>

namespace mivo::recipe {

namespace {
// How often a signal is looked for: well inside the tenth of a second a
// stop may take to reach the motor.
constexpr std::chrono::milliseconds kLookEvery{20};
constexpr qint64 kDefaultLimitMs = 600'000;
}  // namespace

RecipeWatch::RecipeWatch(std::function<void()> interrupt, CommandExchange& exchange,
                         std::function<QString()> outside)
    : interrupt_(std::move(interrupt)),
      exchange_(exchange),
      outside_(std::move(outside)),
      dispatcher_(QAbstractEventDispatcher::instance(QThread::currentThread())),
      limit_ms_(kDefaultLimitMs)
{
    thread_ = std::thread([this] { watch(); });
}

RecipeWatch::~RecipeWatch()
{
    finish();
}

void RecipeWatch::set_limit_ms(qint64 limit_ms)
{
    const std::lock_guard lock(mutex_);
    limit_ms_ = limit_ms;
    wake_.notify_all();
}

void RecipeWatch::stop(const QString& reason)
{
    const std::lock_guard lock(mutex_);
    stop_locked(reason);
}

void RecipeWatch::stop_locked(const QString& reason)
{
    if (finished_ || reason_)
        return;
    reason_ = reason;
    stopped_.store(true);
    exchange_.stop_waits();
    interrupt_();
    // The recipe's thread may be blocked in the event loop of a wait.
    if (dispatcher_)
        dispatcher_->wakeUp();
}

std::optional<QString> RecipeWatch::reason() const
{
    const std::lock_guard lock(mutex_);
    return reason_;
}

void RecipeWatch::finish()
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void RecipeWatch::watch()
{
    std::unique_lock lock(mutex_);
    while (!finished_ && !reason_) {
        const auto left = clock_.time_left(limit_ms_);
        wake_.wait_for(lock, outside_ ? std::min<std::chrono::nanoseconds>(left, kLookEvery) : left);
        if (finished_ || reason_)
            break;
        if (clock_.is_over(limit_ms_)) {
            stop_locked(QStringLiteral("time limit of %1 s reached").arg(double(limit_ms_) / 1000.0));
        } else if (outside_) {
            lock.unlock();
            const QString reason = outside_();
            lock.lock();
            if (!reason.isEmpty())
                stop_locked(reason);
        }
    }
}

}  // namespace mivo::recipe
