#pragma once

#include <QAbstractTableModel>

namespace mivo {

class LineOverview;

// The Line pane's rows as a table: one row a station of the overview, its
// cells plain text, so that a test or a screen reader reads what a user
// sees. A station's round changes only that row's cells that changed.
class LineTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kStation, kStatus, kVersion, kPosition, kState, kInputs, kAnswered, kLastSeen, kColumns };

    explicit LineTableModel(LineOverview& overview, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The station of a row, or -1.
    int station_at(int row) const;

private:
    QString text(int row, int column) const;
    void row_changed(int row);

    LineOverview& overview_;
    int rows_ = 0;
};

}  // namespace mivo
