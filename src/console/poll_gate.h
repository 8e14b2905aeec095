#pragma once

#include <QObject>
#include <QTimer>

namespace mivo {

class LinkGuard;

// The poll's one switch. Whatever must keep the poll's lines out of its own
// holds the gate; holds count, so an operation inside another leaves the
// poll off until the outer one ends, and only the last hold to end may
// switch it on again. Nothing else starts or stops the poll's timer.
class PollGate : public QObject {
    Q_OBJECT
public:
    // A tick's interval is a lower bound: a coarse timer may fire up to 5 %
    // early, so it is a precise one.
    static constexpr int kIntervalMs = 500;

    // What a hold leaves when it is the last to end.
    enum class After {
        Resume,  // the poll as it was when the hold began
        On,      // the poll on, as after the window's own reads
    };

    class Hold {
    public:
        Hold(PollGate& gate, const LinkGuard& link, After after);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        PollGate& gate_;
        const LinkGuard& link_;
        bool on_after_;
    };

    explicit PollGate(QObject* parent = nullptr);

    // On, its interval begun anew; not while a hold keeps it off, nor once
    // the link is no longer the one the caller began on (the poll then
    // belongs to whoever opened the link again, or stays off).
    void start(const LinkGuard& link);
    void stop();
    bool running() const { return Timer1.isActive(); }
    int holds() const { return holds_; }
    // Until the next tick is due.
    int remaining_ms() const { return Timer1.remainingTime(); }
    int interval_ms() const { return Timer1.interval(); }

    // For tests that drive the poll by hand.
    QTimer& timer() { return Timer1; }

signals:
    void tick();

private:
    QTimer Timer1;
    int holds_ = 0;
};

}  // namespace mivo
