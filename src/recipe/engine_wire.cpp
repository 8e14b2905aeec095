#include "recipe/engine_wire.h"

#include <QJSEngine>
#include <QJSValueIterator>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace mivo::recipe::engine_wire {

namespace {

constexpr int kMostProperties = 64;
const QString kMarker = QStringLiteral("$mivo");

QJsonObject marker(const QString& kind, const QString& text = QString())
{
    QJsonObject m{{kMarker, kind}};
    if (!text.isNull())
        m.insert(QStringLiteral("text"), text);
    return m;
}

QString cut(const QString& text)
{
    return text.size() > kLongestText ? text.left(kLongestText) : text;
}

QJsonValue primitive(const QJSValue& v)
{
    if (v.isUndefined())
        return marker(QStringLiteral("undefined"));
    if (v.isNull())
        return QJsonValue(QJsonValue::Null);
    if (v.isBool())
        return v.toBool();
    if (v.isString())
        return cut(v.toString());
    if (v.isNumber()) {
        const double n = v.toNumber();
        return std::isfinite(n) ? QJsonValue(n) : QJsonValue(marker(QStringLiteral("number"), v.toString()));
    }
    if (v.isCallable())
        return marker(QStringLiteral("object"), QStringLiteral("[function]"));
    if (v.isArray())
        return marker(QStringLiteral("object"), QStringLiteral("[array]"));
    return marker(QStringLiteral("object"), QStringLiteral("[object]"));
}

}  // namespace

QJsonValue to_wire(const QJSValue& value)
{
    if (!value.isObject() || value.isCallable() || value.isArray() || value.isError())
        return primitive(value);
    // An options or limits object: its own properties, one level.
    QJsonObject out;
    QJSValueIterator it(value);
    int count = 0;
    while (it.hasNext() && count++ < kMostProperties) {
        it.next();
        if (it.name() != kMarker)
            out.insert(it.name(), primitive(it.value()));
    }
    return out;
}

QJSValue from_wire(QJSEngine& engine, const QJsonValue& value)
{
    if (!value.isObject())
        return engine.toScriptValue(value.toVariant());
    const QJsonObject o = value.toObject();
    const QString kind = o.value(kMarker).toString();
    if (kind == QLatin1String("undefined"))
        return QJSValue(QJSValue::UndefinedValue);
    if (kind == QLatin1String("number"))
        return QJSValue(o.value(QStringLiteral("text")).toString().toDouble());  // NaN, Infinity, -Infinity
    if (kind == QLatin1String("object")) {
        // Something only its kind crossed for: an object whose text says so.
        QJSValue shown = engine.newObject();
        const QString text = o.value(QStringLiteral("text")).toString();
        shown.setProperty(QStringLiteral("toString"),
                          engine.evaluate(QStringLiteral("(function (t) { return function () { return t; }; })"))
                              .call({text}));
        return shown;
    }
    QJSValue out = engine.newObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        out.setProperty(it.key(), from_wire(engine, it.value()));
    return out;
}

QJsonObject describe_error(const QJSValue& error)
{
    QJsonObject d;
    if (error.isError()) {
        d.insert(QStringLiteral("name"), error.property(QStringLiteral("name")).toString());
        d.insert(QStringLiteral("text"), cut(error.toString()));
        d.insert(QStringLiteral("line"), error.property(QStringLiteral("lineNumber")).toInt());
        return d;
    }
    // throw "out of range", throw 42, throw {message: ...}, throw undefined:
    // a failure all the same, told by its text.
    const QJSValue message = error.isObject() ? error.property(QStringLiteral("message")) : QJSValue();
    const QString text = message.isString() ? message.toString() : error.toString();
    d.insert(QStringLiteral("name"), QString());
    d.insert(QStringLiteral("text"), cut(text));
    d.insert(QStringLiteral("line"), 0);
    return d;
}

QString log_line(const QString& text)
{
    // Room for the note itself, so that a cut line is not cut again.
    constexpr qsizetype kNoteRoom = 64;
    if (text.size() <= kLongestLogLine + kNoteRoom)
        return text;
    return text.left(kLongestLogLine)
           + QStringLiteral(" [cut: %1 more characters]").arg(text.size() - kLongestLogLine);
}

void set_globals(QJSEngine& engine, QObject& drive, QObject& test)
{
    QJSEngine::setObjectOwnership(&drive, QJSEngine::CppOwnership);
    QJSEngine::setObjectOwnership(&test, QJSEngine::CppOwnership);
    engine.globalObject().setProperty(QStringLiteral("drive"), engine.newQObject(&drive));
    engine.globalObject().setProperty(QStringLiteral("test"), engine.newQObject(&test));
}

QByteArray frame(const QJsonObject& message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace mivo::recipe::engine_wire
