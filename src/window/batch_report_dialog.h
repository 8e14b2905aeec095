#pragma once

#include "console/station_batch.h"

#include <QDialog>

namespace mivo {

// The outcome of a backup, compare or restore on every station of the line:
// a row a station with its outcome and its differences.
class BatchReportDialog : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString summary READ summary CONSTANT)
public:
    BatchReportDialog(StationBatch::Kind kind, const QList<StationBatch::Result>& results, QWidget* parent = nullptr);

    QString summary() const { return summary_; }

private:
    QString summary_;
};

}  // namespace mivo
