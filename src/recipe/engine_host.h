#pragma once

#include <QJSValue>
#include <QJsonObject>

#include <cstdio>
#include <optional>

class QJSEngine;

namespace mivo::recipe {

// The engine's side of a recipe run: it makes the globals, runs the recipe
// and carries each call to the console's process over the pipe, which
// checks every argument, talks to the drive and keeps the report.
class EngineHost {
public:
    // wire_in, wire_out: the pipe to the console's process.
    EngineHost(QJSEngine& engine, std::FILE* wire_in, std::FILE* wire_out);

    // Runs the recipe: the message that ends the run has been sent when it
    // returns.
    void run(const QString& program, const QString& path, int station);

    // One call, answered by the console: its value, or undefined after the
    // error it threw was thrown here.
    QJSValue call(const QString& name, const QJSValueList& args);
    // Calls the function: what it threw, described, or nothing.
    std::optional<QJsonObject> run_caught(const QJSValue& function);

private:
    void send(const QByteArray& message);

    QJSEngine& engine_;
    std::FILE* in_;
    std::FILE* out_;
    QJSValue catcher_;
};

}  // namespace mivo::recipe
