#pragma once

#include <QJSValue>
#include <QObject>

namespace mivo::recipe {

class RecipeRun;

// The recipe's `test` global, on the console's side: a step's body runs in
// the recipe's engine, between step_begin and step_end.
class TestApi : public QObject {
    Q_OBJECT
public:
    explicit TestApi(RecipeRun& run) : run_(run) {}

    // False when the run is stopping and the step is not to run.
    bool step_begin(const QJSValue& name);
    // error: what the step's body threw, as the engine described it, or
    // null. Whether the step passed.
    bool step_end(const QJSValue& error);
    Q_INVOKABLE bool check(const QJSValue& name, const QJSValue& value, const QJSValue& limits = QJSValue());
    Q_INVOKABLE void log(const QJSValue& text);
    Q_INVOKABLE void sleep(const QJSValue& ms);

    double timeout_s() const { return timeout_s_; }
    void set_timeout_s(double seconds);
    bool stop_on_failure() const;
    void set_stop_on_failure(bool on);
    void set_serial_pattern(const QJSValue& source, const QJSValue& flags);

private:
    void throw_type_error(const QString& message);

    RecipeRun& run_;
    double timeout_s_ = 600;
};

}  // namespace mivo::recipe
