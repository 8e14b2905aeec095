#pragma once

#include "console/drive_operations.h"

#include <QByteArray>
#include <QJsonValue>
#include <QSet>
#include <QString>

#include <variant>

namespace mivo::bridge {

// One command from P/station/N/cmd, checked whole before anything is sent:
// {"id": ..., "op": OP, ...} with OP's arguments.
struct StationCommand {
    QString op;
    int entry = -1;       // read, write: the settings file's position
    qint16 value = 0;     // write
    bool on = false;      // servo
    qint32 timeout_ms = 0;  // home
    DriveOperations::MoveRequest move;

    // The command, or the error to answer. id is what the payload gave (null
    // when none); operations beyond status and read must be in allowed.
    // reply_wait_ms: a homing limit below it could never see the prompt.
    static std::variant<StationCommand, QString> parse(const QByteArray& payload, const QSet<QString>& allowed,
                                                       qint32 reply_wait_ms, QJsonValue& id);
};

}  // namespace mivo::bridge
