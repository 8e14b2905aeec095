#include "recipe/engine_globals.h"

#include "recipe/engine_host.h"
#include "recipe/engine_wire.h"

#include <QJSEngine>

namespace mivo::recipe {

QJSValue DriveGlobal::read(const QJSValue& entry)
{
    return host_.call(QStringLiteral("drive.read"), {entry});
}

QJSValue DriveGlobal::write(const QJSValue& entry, const QJSValue& value)
{
    return host_.call(QStringLiteral("drive.write"), {entry, value});
}

QJSValue DriveGlobal::save()
{
    return host_.call(QStringLiteral("drive.save"), {});
}

QJSValue DriveGlobal::status()
{
    return host_.call(QStringLiteral("drive.status"), {});
}

QJSValue DriveGlobal::servo(const QJSValue& on)
{
    return host_.call(QStringLiteral("drive.servo"), {on});
}

QJSValue DriveGlobal::home(const QJSValue& options)
{
    return host_.call(QStringLiteral("drive.home"), {options});
}

QJSValue DriveGlobal::move(const QJSValue& position, const QJSValue& options)
{
    return host_.call(QStringLiteral("drive.move"), {position, options});
}

QJSValue DriveGlobal::send(const QJSValue& line)
{
    return host_.call(QStringLiteral("drive.send"), {line});
}

QJSValue DriveGlobal::compare(const QJSValue& file)
{
    return host_.call(QStringLiteral("drive.compare"), {file});
}

QJSValue DriveGlobal::restore(const QJSValue& file, const QJSValue& options)
{
    return host_.call(QStringLiteral("drive.restore"), {file, options});
}

QJSValue TestGlobal::step(const QJSValue& name, const QJSValue& body)
{
    if (!name.isString() || name.toString().isEmpty() || !body.isCallable()) {
        qjsEngine(this)->throwError(QJSValue::TypeError, QStringLiteral("test.step takes a name and a function"));
        return {};
    }
    const QJSValue begun = host_.call(QStringLiteral("test.step_begin"), {name});
    if (!begun.toBool())
        return begun;  // the run is stopping, or the console refused the step
    // Whatever the body throws, an Error or any other value, fails the step.
    const std::optional<QJsonObject> error = host_.run_caught(body);
    return host_.call(QStringLiteral("test.step_end"),
                      {error ? qjsEngine(this)->toScriptValue(error->toVariantMap()) : QJSValue(QJSValue::NullValue)});
}

QJSValue TestGlobal::check(const QJSValue& name, const QJSValue& value, const QJSValue& limits)
{
    return host_.call(QStringLiteral("test.check"), {name, value, limits});
}

void TestGlobal::log(const QJSValue& text)
{
    host_.call(QStringLiteral("test.log"), {engine_wire::log_line(text.toString())});
}

void TestGlobal::sleep(const QJSValue& ms)
{
    host_.call(QStringLiteral("test.sleep"), {ms});
}

void TestGlobal::set_timeout_s(double seconds)
{
    host_.call(QStringLiteral("test.timeout_s"), {seconds});
    if (!qjsEngine(this)->hasError())
        timeout_s_ = seconds;
}

void TestGlobal::set_stop_on_failure(bool on)
{
    host_.call(QStringLiteral("test.stop_on_failure"), {on});
    stop_on_failure_ = on;
}

void TestGlobal::set_serial_pattern(const QJSValue& pattern)
{
    if (!pattern.isRegExp()) {
        qjsEngine(this)->throwError(QJSValue::TypeError, QStringLiteral("test.serial_pattern takes a RegExp"));
        return;
    }
    host_.call(QStringLiteral("test.serial_pattern"),
               {pattern.property(QStringLiteral("source")), pattern.property(QStringLiteral("flags"))});
    if (!qjsEngine(this)->hasError())
        serial_pattern_ = pattern;
}

}  // namespace mivo::recipe
