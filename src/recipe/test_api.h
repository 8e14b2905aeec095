#pragma once

#include <QJSValue>
#include <QObject>

namespace mivo::recipe {

class RecipeRun;

// The recipe's `test` global.
class TestApi : public QObject {
    Q_OBJECT
    Q_PROPERTY(double timeout_s READ timeout_s WRITE set_timeout_s)
    Q_PROPERTY(bool stop_on_failure READ stop_on_failure WRITE set_stop_on_failure)
public:
    explicit TestApi(RecipeRun& run) : run_(run) {}

    Q_INVOKABLE bool step(const QJSValue& name, const QJSValue& body);
    Q_INVOKABLE bool check(const QJSValue& name, const QJSValue& value, const QJSValue& limits = QJSValue());
    Q_INVOKABLE void log(const QJSValue& text);
    Q_INVOKABLE void sleep(const QJSValue& ms);

    double timeout_s() const { return timeout_s_; }
    void set_timeout_s(double seconds);
    bool stop_on_failure() const;
    void set_stop_on_failure(bool on);

private:
    void throw_type_error(const QString& message);

    RecipeRun& run_;
    double timeout_s_ = 600;
};

}  // namespace mivo::recipe
