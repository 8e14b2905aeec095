#include "bridge/station_command.h"

#include "bridge/bridge_options.h"
#include "console/settings_file.h"
#include "protocol/command_lines.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace mivo::bridge {

namespace {

// A whole JSON number within [low, high].
std::optional<double> whole(const QJsonValue& v, double low, double high)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || d < low || d > high)
        return std::nullopt;
    return d;
}

// Seconds as a limit in milliseconds: more than 0, at most a day.
std::optional<qint32> seconds(const QJsonValue& v)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble()) || v.toDouble() <= 0 || v.toDouble() > 86400)
        return std::nullopt;
    return qint32(v.toDouble() * 1000);
}

QString missing(const char* name)
{
    return QStringLiteral("missing argument: %1").arg(QLatin1String(name));
}

QString bad(const char* name, const char* what)
{
    return QStringLiteral("bad argument: %1 must be %2").arg(QLatin1String(name), QLatin1String(what));
}

}  // namespace

std::variant<StationCommand, QString> StationCommand::parse(const QByteArray& payload, const QSet<QString>& allowed,
                                                            qint32 reply_wait_ms, QJsonValue& id)
{
    id = QJsonValue(QJsonValue::Null);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QStringLiteral("bad payload: not a JSON object");
    const QJsonObject o = doc.object();
    if (o.contains(u"id")) {
        id = o.value(u"id");
        if (!id.isString() && !id.isDouble() && !id.isNull()) {
            id = QJsonValue(QJsonValue::Null);
            return bad("id", "a string or a number");
        }
    }
    if (!o.contains(u"op"))
        return missing("op");
    StationCommand c;
    if (!o.value(u"op").isString())
        return bad("op", "a string");
    c.op = o.value(u"op").toString();
    if (!operation_names().contains(c.op))
        return QStringLiteral("unknown op: %1").arg(c.op);
    if (c.op != u"status" && c.op != u"read" && !allowed.contains(c.op))
        return QStringLiteral("not allowed: %1").arg(c.op);

    if (c.op == u"read" || c.op == u"write") {
        if (!o.contains(u"entry"))
            return missing("entry");
        c.entry = o.value(u"entry").isString() ? settings_file::entry_named(o.value(u"entry").toString()) : -1;
        if (c.entry < 0)
            return bad("entry", "P0 to P15 or V0 to V6");
    }
    if (c.op == u"write") {
        if (!o.contains(u"value"))
            return missing("value");
        const std::optional<double> v = whole(o.value(u"value"), -32768, 32767);
        if (!v)
            return bad("value", "a whole number from -32768 to 32767");
        c.value = qint16(*v);
    }
    if (c.op == u"servo") {
        if (!o.contains(u"on"))
            return missing("on");
        if (!o.value(u"on").isBool())
            return bad("on", "true or false");
        c.on = o.value(u"on").toBool();
    }
    if (c.op == u"home") {
        c.timeout_ms = 600'000;
        if (o.contains(u"timeout_s")) {
            const std::optional<qint32> ms = seconds(o.value(u"timeout_s"));
            if (!ms)
                return bad("timeout_s", "seconds, more than 0 and at most 86400");
            c.timeout_ms = *ms;
        }
        if (c.timeout_ms < reply_wait_ms)
            return QStringLiteral("bad argument: timeout_s is shorter than the reply wait (%1 ms)").arg(reply_wait_ms);
    }
    if (c.op == u"move") {
        if (!o.contains(u"position"))
            return missing("position");
        const std::optional<double> p = whole(o.value(u"position"), -2147483648.0, 2147483647.0);
        if (!p)
            return bad("position", "a whole 32-bit number");
        c.move.position = qint32(*p);
        if (o.contains(u"speed")) {
            const QJsonValue s = o.value(u"speed");
            QString text;
            if (s.isDouble() && std::isfinite(s.toDouble()))
                text = QString::number(s.toDouble(), 'g', 15);
            else if (s.isString())
                text = s.toString();
            if (text.isEmpty() || text.contains(u'\r') || text.contains(u'\n') ||
                !protocol::unsendable_character(text).isEmpty())
                return bad("speed", "a number or one line of Latin-1 text");
            c.move.speed = text;
        }
        if (o.contains(u"wait")) {
            if (!o.value(u"wait").isBool())
                return bad("wait", "true or false");
            c.move.wait = o.value(u"wait").toBool();
        }
        if (o.contains(u"tolerance")) {
            const QJsonValue t = o.value(u"tolerance");
            if (!t.isDouble() || !std::isfinite(t.toDouble()) || t.toDouble() < 0)
                return bad("tolerance", "a number from 0");
            c.move.tolerance = t.toDouble();
        }
        c.move.timeout_ms = 60'000;
        if (o.contains(u"timeout_s")) {
            const std::optional<qint32> ms = seconds(o.value(u"timeout_s"));
            if (!ms)
                return bad("timeout_s", "seconds, more than 0 and at most 86400");
            c.move.timeout_ms = *ms;
        }
    }
    return c;
}

}  // namespace mivo::bridge
