#pragma once

#include "link/serial_port.h"

#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <thread>

// An in-process port for fast tests of the exchange: it records every write
// with its time and hands out scripted replies once they are due.
class ScriptedPort : public mivo::SerialPort {
public:
    struct Write {
        qint64 at_ms;
        QByteArray bytes;
    };

    ScriptedPort() { clock_.start(); }

    // The reply to the next write: the bytes become readable delay_ms after it.
    void reply_next(const QByteArray& bytes, int delay_ms)
    {
        replies_.append({delay_ms, bytes});
    }
    // Bytes already waiting in the receive buffer.
    void preload(const QByteArray& bytes) { pending_.append({clock_.elapsed(), bytes}); }

    QList<Write> writes;
    int reads = 0;

    qint64 now_ms() const { return clock_.elapsed(); }

    // Each open is timed; the next refuse_opens opens fail.
    QList<qint64> open_times;
    int refuse_opens = 0;
    bool open(const QString&, const QString&) override
    {
        open_times.append(clock_.elapsed());
        if (refuse_opens > 0) {
            --refuse_opens;
            return false;
        }
        return open_ = true;
    }
    // The line goes away under the console.
    void lose(const QString& reason)
    {
        open_ = false;
        emit lost(reason);
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QString errorText() const override { return {}; }

    void write(const QByteArray& bytes) override
    {
        writes.append({clock_.elapsed(), bytes});
        if (!replies_.isEmpty()) {
            const auto reply = replies_.takeFirst();
            pending_.append({clock_.elapsed() + reply.delay_ms, reply.bytes});
        }
    }

    QByteArray readAll() override
    {
        ++reads;
        QByteArray out;
        const qint64 now = clock_.elapsed();
        while (!pending_.isEmpty() && pending_.first().due_ms <= now)
            out += pending_.takeFirst().bytes;
        return out;
    }

    // Sleeps until the next scripted reply is due or the limit has passed.
    int input_waits = 0;
    bool waitForInput(std::chrono::nanoseconds limit) override
    {
        ++input_waits;
        const auto due = [&] {
            return !pending_.isEmpty() && pending_.first().due_ms <= clock_.elapsed();
        };
        if (!due() && !pending_.isEmpty())
            limit = std::min<std::chrono::nanoseconds>(limit, std::chrono::milliseconds(pending_.first().due_ms - clock_.elapsed()));
        if (!due())
            std::this_thread::sleep_for(limit);
        return due();
    }

private:
    struct Scripted {
        int delay_ms;
        QByteArray bytes;
    };
    struct Pending {
        qint64 due_ms;
        QByteArray bytes;
    };
    QList<Scripted> replies_;
    QList<Pending> pending_;
    QElapsedTimer clock_;
    bool open_ = true;
};
