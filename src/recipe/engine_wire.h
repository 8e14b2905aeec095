#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QJSValue>

class QJSEngine;
class QObject;

namespace mivo::recipe::engine_wire {

// The recipe's JavaScript runs in a process of its own (mivo-recipe-engine),
// so that whatever it does to its engine (a busy loop, a structure nested
// too deep for the engine's own recursion, memory without end) cannot take
// down the process that holds the line. The two talk in JSON, one object a
// line: the engine asks ({"call": NAME, "args": [...]}) and waits for the
// answer ({"value": ...} or {"throw": {"type": ..., "message": ...}}); the
// run ends with {"end": null} or {"end": ERROR}.

// Longest line either side takes: the engine cuts texts well below it, so
// a longer one is a fault of the engine's.
constexpr qsizetype kLongestLine = 4 * 1024 * 1024;
// A text argument is cut to this many characters (a raw line, a name).
constexpr qsizetype kLongestText = 1024 * 1024;

// An argument as it crosses: primitives as JSON (with markers for what JSON
// cannot hold: undefined, NaN, the infinities), an object with its own
// properties one level deep, and anything deeper or callable by its kind
// alone, so that encoding never recurses into what the recipe built.
QJsonValue to_wire(const QJSValue& value);
// The parent's side: the same value in the engine that checks it.
QJSValue from_wire(QJSEngine& engine, const QJsonValue& value);

// An error the recipe threw, in a step or at the top: an Error object with
// its name, text and line, or any other value by its text.
QJsonObject describe_error(const QJSValue& error);

// A log line as the report keeps it: at most kLongestLogLine characters,
// the rest named by its length. A line already cut passes as it is, so the
// engine (which knows the whole length) cuts, and the console only guards.
constexpr qsizetype kLongestLogLine = 10'000;
QString log_line(const QString& text);

// `drive` and `test` as the recipe's globals, on either side.
void set_globals(QJSEngine& engine, QObject& drive, QObject& test);

QByteArray frame(const QJsonObject& message);

}  // namespace mivo::recipe::engine_wire
