#pragma once

#include <QJSValue>
#include <QObject>

namespace mivo::recipe {

class EngineHost;

// The recipe's `drive` in its engine: each call goes to the console's
// process, which checks the arguments and talks to the drive. Being native
// calls, an error they throw carries the line of the recipe that called.
class DriveGlobal : public QObject {
    Q_OBJECT
    Q_PROPERTY(int station READ station CONSTANT)
public:
    DriveGlobal(EngineHost& host, int station) : host_(host), station_(station) {}
    int station() const { return station_; }

    Q_INVOKABLE QJSValue read(const QJSValue& entry);
    Q_INVOKABLE QJSValue write(const QJSValue& entry, const QJSValue& value);
    Q_INVOKABLE QJSValue save();
    Q_INVOKABLE QJSValue status();
    Q_INVOKABLE QJSValue servo(const QJSValue& on);
    Q_INVOKABLE QJSValue home(const QJSValue& options = QJSValue());
    Q_INVOKABLE QJSValue move(const QJSValue& position, const QJSValue& options = QJSValue());
    Q_INVOKABLE QJSValue send(const QJSValue& line);
    Q_INVOKABLE QJSValue compare(const QJSValue& file);
    Q_INVOKABLE QJSValue restore(const QJSValue& file, const QJSValue& options = QJSValue());

private:
    EngineHost& host_;
    int station_;
};

// The recipe's `test`: a step's body runs here, between the console's
// step_begin and step_end; the rest goes to the console's process.
class TestGlobal : public QObject {
    Q_OBJECT
    Q_PROPERTY(double timeout_s READ timeout_s WRITE set_timeout_s)
    Q_PROPERTY(bool stop_on_failure READ stop_on_failure WRITE set_stop_on_failure)
    Q_PROPERTY(QJSValue serial_pattern READ serial_pattern WRITE set_serial_pattern)
public:
    explicit TestGlobal(EngineHost& host) : host_(host) {}

    Q_INVOKABLE QJSValue step(const QJSValue& name, const QJSValue& body);
    Q_INVOKABLE QJSValue check(const QJSValue& name, const QJSValue& value, const QJSValue& limits = QJSValue());
    Q_INVOKABLE void log(const QJSValue& text);
    Q_INVOKABLE void sleep(const QJSValue& ms);

    double timeout_s() const { return timeout_s_; }
    void set_timeout_s(double seconds);
    bool stop_on_failure() const { return stop_on_failure_; }
    void set_stop_on_failure(bool on);
    QJSValue serial_pattern() const { return serial_pattern_; }
    void set_serial_pattern(const QJSValue& pattern);

private:
    EngineHost& host_;
    QJSValue serial_pattern_ = QJSValue(QJSValue::NullValue);
    double timeout_s_ = 600;
    bool stop_on_failure_ = false;
};

}  // namespace mivo::recipe
