#pragma once

#include "console/drive_operations.h"

#include <QJsonObject>

namespace mivo {

// A status read as the tool's "status --json" and the bridge's "status"
// reply give it: "position", "state", "inputs" (null for a word that did not
// come) and the names of their set bits (empty for a word that did not come).
QJsonObject status_fields(const DriveOperations::Status& status);

}  // namespace mivo
