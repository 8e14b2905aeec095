#include "recipe/test_api.h"

#include "console/console.h"
#include "link/waits.h"
#include "recipe/recipe_run.h"
#include "recipe/recipe_watch.h"

#include <QJSEngine>
#include <QJsonObject>

#include <cmath>

namespace mivo::recipe {

namespace {

constexpr double kLongestSeconds = 7 * 86400.0;

std::optional<double> finite_number(const QJSValue& v)
{
    if (!v.isNumber() || !std::isfinite(v.toNumber()))
        return std::nullopt;
    return v.toNumber();
}

}  // namespace

void TestApi::throw_type_error(const QString& message)
{
    qjsEngine(this)->throwError(QJSValue::TypeError, message);
}

bool TestApi::step_begin(const QJSValue& name)
{
    if (!name.isString() || name.toString().isEmpty()) {
        throw_type_error(QStringLiteral("test.step takes a name and a function"));
        return false;
    }
    if (run_.step_) {
        throw_type_error(QStringLiteral("test.step inside the step \"%1\": steps do not nest").arg(run_.step_->name));
        return false;
    }
    return run_.begin_step(name.toString());
}

bool TestApi::step_end(const QJSValue& error)
{
    if (!run_.step_) {
        throw_type_error(QStringLiteral("test.step: no step to end"));
        return false;
    }
    if (!error.isObject())
        return run_.end_step(std::nullopt);
    const QJsonObject described{
        {QStringLiteral("text"), error.property(QStringLiteral("text")).toString()},
        {QStringLiteral("line"), error.property(QStringLiteral("line")).toInt()},
    };
    return run_.end_step(run_.error_text(described));
}

bool TestApi::check(const QJSValue& name, const QJSValue& value, const QJSValue& limits)
{
    if (!name.isString() || name.toString().isEmpty()) {
        throw_type_error(QStringLiteral("test.check takes a name first"));
        return false;
    }
    Check c;
    c.name = name.toString();
    if (value.isNumber()) {
        c.value = std::isfinite(value.toNumber()) ? QJsonValue(value.toNumber()) : QJsonValue(QJsonValue::Null);
    } else if (value.isBool()) {
        c.value = value.toBool();
    } else if (value.isString()) {
        c.value = value.toString();
    } else if (value.isNull() || value.isUndefined()) {
        c.value = QJsonValue(QJsonValue::Null);
    } else {
        throw_type_error(QStringLiteral("test.check \"%1\" takes a number, a text, true or false, not %2")
                             .arg(c.name, value.toString()));
        return false;
    }

    bool limited = false;
    if (!limits.isUndefined() && !limits.isNull()) {
        if (!limits.isObject()) {
            throw_type_error(QStringLiteral("test.check \"%1\": the limits are {min, max, equals}").arg(c.name));
            return false;
        }
        for (const char* key : {"min", "max"}) {
            const QJSValue limit = limits.property(QLatin1String(key));
            if (limit.isUndefined() || limit.isNull())
                continue;
            const std::optional<double> n = finite_number(limit);
            if (!n) {
                throw_type_error(QStringLiteral("test.check \"%1\": %2 takes a number").arg(c.name, QLatin1String(key)));
                return false;
            }
            (qstrcmp(key, "min") == 0 ? c.min : c.max) = n;
            limited = true;
        }
        const QJSValue equals = limits.property(QStringLiteral("equals"));
        if (equals.isNumber() || equals.isBool() || equals.isString()) {
            c.equals = QJsonValue::fromVariant(equals.toVariant());
            limited = true;
        } else if (!equals.isUndefined()) {
            throw_type_error(QStringLiteral("test.check \"%1\": equals takes a number, a text, true or false")
                                 .arg(c.name));
            return false;
        }
    }

    if (c.value.isNull()) {
        c.passed = false;  // nothing was measured
    } else if (!limited) {
        c.passed = !c.value.isBool() || c.value.toBool();
    } else {
        c.passed = true;
        if (!c.equals.isUndefined())
            c.passed = c.equals.isDouble() && c.value.isDouble() ? c.equals.toDouble() == c.value.toDouble()
                                                                  : c.equals == c.value;
        if (c.min || c.max) {
            const bool number = c.value.isDouble();
            c.passed = c.passed && number && (!c.min || c.value.toDouble() >= *c.min)
                       && (!c.max || c.value.toDouble() <= *c.max);
        }
    }
    return run_.add_check(c);
}

void TestApi::log(const QJSValue& text)
{
    run_.add_log(text.toString());
}

void TestApi::sleep(const QJSValue& ms)
{
    const std::optional<double> n = finite_number(ms);
    if (!n || *n < 0 || *n > kLongestSeconds * 1000) {
        qjsEngine(this)->throwError(QJSValue::RangeError,
                                    QStringLiteral("test.sleep takes milliseconds from 0, not %1").arg(ms.toString()));
        return;
    }
    // A line closed or lost meanwhile ends the sleep, and the run with it;
    // so does a signal, whose handler stops the exchange.
    RecipeWatch* watch = run_.watch_;
    CommandExchange& exchange = run_.console_.exchange();
    wait_with_events(qint32(std::ceil(*n)), [&] { return watch->stopped() || !exchange.link_up(); });
    if (!watch->stopped() && !exchange.link_up())
        run_.wait_cut_short();
}

void TestApi::set_timeout_s(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > kLongestSeconds) {
        qjsEngine(this)->throwError(QJSValue::RangeError,
                                    QStringLiteral("test.timeout_s takes seconds, more than 0 and at most %1, not %2")
                                        .arg(kLongestSeconds)
                                        .arg(seconds));
        return;
    }
    timeout_s_ = seconds;
    run_.watch_->set_limit_ms(qint64(std::llround(seconds * 1000)));
}

bool TestApi::stop_on_failure() const
{
    return run_.stop_on_failure_;
}

void TestApi::set_stop_on_failure(bool on)
{
    run_.stop_on_failure_ = on;
}

void TestApi::set_serial_pattern(const QJSValue& source, const QJSValue& flags)
{
    if (!source.isString() || !flags.isString()) {
        throw_type_error(QStringLiteral("test.serial_pattern takes a RegExp"));
        return;
    }
    run_.check_serial(source.toString(), flags.toString());
}

}  // namespace mivo::recipe
