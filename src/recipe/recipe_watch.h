#pragma once

#include "link/waits.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class QAbstractEventDispatcher;

namespace mivo {
class CommandExchange;
}

namespace mivo::recipe {

// Stops a running recipe from outside its own thread: at its time limit,
// on a stop asked for by the user, or when the front end's outside stop
// (a signal the tool caught) says so. JavaScript that never calls back into
// the console, an endless loop, ends with the engine's process; an exchange
// or a sleep under way ends its wait. The first reason given is the one
// reported.
class RecipeWatch {
public:
    // interrupt: ends the recipe's JavaScript, called from any thread.
    // outside: polled from the watch's own thread; a reason once it wants
    // the recipe stopped, else empty.
    RecipeWatch(std::function<void()> interrupt, CommandExchange& exchange, std::function<QString()> outside);
    ~RecipeWatch();
    RecipeWatch(const RecipeWatch&) = delete;
    RecipeWatch& operator=(const RecipeWatch&) = delete;

    // The limit, counted from the watch's start.
    void set_limit_ms(qint64 limit_ms);
    // Any thread but a signal handler's.
    void stop(const QString& reason);
    bool stopped() const { return stopped_.load(); }
    std::optional<QString> reason() const;
    // The watch's thread has ended: nothing stops the recipe from now on.
    void finish();

private:
    void watch();
    void stop_locked(const QString& reason);

    std::function<void()> interrupt_;
    CommandExchange& exchange_;
    std::function<QString()> outside_;
    QAbstractEventDispatcher* dispatcher_;
    const Stopwatch clock_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    qint64 limit_ms_ = 0;
    bool finished_ = false;
    std::optional<QString> reason_;
    std::atomic_bool stopped_ = false;
    std::thread thread_;
};

}  // namespace mivo::recipe
