#pragma once

#include <QJsonObject>
#include <QString>

namespace mivo::results {

// A stored run's report as a PDF on A4: the unit's serial number and the
// verdict in large letters, where and by whom it was tested, the recipe and
// its SHA-256, the drive's version, each step with its checks and log, the
// writes and the settings snapshot. run: as run_json() gives it. Written
// whole or not at all: empty, or why not. Needs a QGuiApplication.
QString write_report_pdf(const QJsonObject& run, const QString& path);

}  // namespace mivo::results
