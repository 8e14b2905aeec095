#pragma once

#include "console/drive_settings.h"

#include <QDialog>

namespace mivo {

// The outcome of a compare or a restore in one dialog: what happened in a
// line, and the entries as a table.
class SettingsReportDialog : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString summary READ summary CONSTANT)
public:
    enum class Kind { Compare, Restore };

    SettingsReportDialog(Kind kind, const DriveSettings::Report& report, QWidget* parent = nullptr);

    // The line above the table.
    QString summary() const { return summary_; }

private:
    QString summary_;
};

}  // namespace mivo
