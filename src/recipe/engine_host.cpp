#include "recipe/engine_host.h"

#include "recipe/engine_globals.h"
#include "recipe/engine_wire.h"

#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdlib>

namespace mivo::recipe {

namespace {

QJSValue::ErrorType error_type(const QString& name)
{
    if (name == QLatin1String("TypeError"))
        return QJSValue::TypeError;
    if (name == QLatin1String("RangeError"))
        return QJSValue::RangeError;
    return QJSValue::GenericError;
}

}  // namespace

EngineHost::EngineHost(QJSEngine& engine, std::FILE* wire_in, std::FILE* wire_out)
    : engine_(engine), in_(wire_in), out_(wire_out)
{
    // A thrown value comes back as the call's result, the same as a value
    // returned: only a catch in JavaScript tells them apart.
    catcher_ = engine_.evaluate(QStringLiteral(
        "(function (f) { try { f(); return null; } catch (e) { return { thrown: e }; } })"));
}

void EngineHost::send(const QByteArray& message)
{
    if (std::fwrite(message.constData(), 1, size_t(message.size()), out_) != size_t(message.size())
        || std::fflush(out_) != 0)
        std::_Exit(1);  // the console's process is gone: nobody to run for
}

std::optional<QJsonObject> EngineHost::run_caught(const QJSValue& function)
{
    const QJSValue outcome = catcher_.call({function});
    if (outcome.isNull())
        return std::nullopt;
    // The catcher's own failure (the engine's stack used up on the way in)
    // is as much the recipe's error.
    return engine_wire::describe_error(outcome.isObject() && !outcome.isError()
                                           ? outcome.property(QStringLiteral("thrown"))
                                           : outcome);
}

void EngineHost::run(const QString& program, const QString& path, int station)
{
    DriveGlobal drive(*this, station);
    TestGlobal test(*this);
    engine_wire::set_globals(engine_, drive, test);

    const QJSValue recipe = engine_.evaluate(program, path, 1);
    const std::optional<QJsonObject> error =
        recipe.isError() ? std::optional(engine_wire::describe_error(recipe)) : run_caught(recipe);
    send(engine_wire::frame(
        QJsonObject{{QStringLiteral("end"), error ? QJsonValue(*error) : QJsonValue(QJsonValue::Null)}}));
}

QJSValue EngineHost::call(const QString& name, const QJSValueList& args)
{
    QJsonArray wire_args;
    for (const QJSValue& a : args)
        wire_args.append(engine_wire::to_wire(a));
    send(engine_wire::frame(QJsonObject{{QStringLiteral("call"), name}, {QStringLiteral("args"), wire_args}}));

    char* line = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&line, &capacity, in_);
    if (length <= 0)
        std::_Exit(1);
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray(line, length)).object();
    std::free(line);

    if (const QJsonValue thrown = answer.value(QStringLiteral("throw")); thrown.isObject()) {
        const QJsonObject e = thrown.toObject();
        engine_.throwError(error_type(e.value(QStringLiteral("type")).toString()),
                           e.value(QStringLiteral("message")).toString());
        return {};
    }
    if (!answer.contains(QStringLiteral("value")))
        return QJSValue(QJSValue::UndefinedValue);
    return engine_.toScriptValue(answer.value(QStringLiteral("value")).toVariant());
}

}  // namespace mivo::recipe
