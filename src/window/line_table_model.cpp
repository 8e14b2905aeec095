#include "window/line_table_model.h"

#include "console/drive_operations.h"
#include "console/line_overview.h"

#include <QBrush>

namespace mivo {

namespace {

QString number_or_empty(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', 15) : QString();
}

}  // namespace

LineTableModel::LineTableModel(LineOverview& overview, QObject* parent)
    : QAbstractTableModel(parent), overview_(overview), rows_(int(overview.rows().size()))
{
    connect(&overview_, &LineOverview::rows_reset, this, [this] {
        beginResetModel();
        rows_ = int(overview_.rows().size());
        endResetModel();
    });
    connect(&overview_, &LineOverview::row_changed, this, &LineTableModel::row_changed);
}

void LineTableModel::row_changed(int row)
{
    if (row < 0 || row >= overview_.rows().size())
        return;
    if (row >= rows_) {
        beginInsertRows({}, rows_, row);
        rows_ = row + 1;
        endInsertRows();
        return;
    }
    emit dataChanged(index(row, 0), index(row, kColumns - 1), {Qt::DisplayRole, Qt::ForegroundRole});
}

int LineTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int LineTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

int LineTableModel::station_at(int row) const
{
    return row >= 0 && row < rows_ ? overview_.rows()[row].station : -1;
}

QString LineTableModel::text(int index, int column) const
{
    const LineOverview::Row& row = overview_.rows()[index];
    switch (column) {
    case kStation: return QString::number(row.station);
    case kStatus: return row.lost ? QStringLiteral("lost") : row.answered > 0 ? QStringLiteral("ok") : QString();
    case kVersion: return row.version.value_or(QString());
    case kPosition: return number_or_empty(row.position);
    case kState: return row.state ? DriveOperations::state_bit_names(*row.state).join(u' ') : QString();
    case kInputs: return row.inputs ? DriveOperations::input_bit_names(*row.inputs).join(u' ') : QString();
    case kAnswered: return QStringLiteral("%1/%2").arg(row.answered).arg(row.asked);
    case kLastSeen: return row.last_seen.isValid() ? row.last_seen.toString(QStringLiteral("HH:mm:ss")) : QString();
    default: return {};
    }
}

QVariant LineTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_ || index.row() >= overview_.rows().size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return text(index.row(), index.column());
    // A drive in fault stands out.
    if (role == Qt::ForegroundRole && index.column() == kState) {
        const std::optional<quint32> state = overview_.rows()[index.row()].state;
        if (state && DriveOperations::state_bit_names(*state).contains(QStringLiteral("Fault")))
            return QBrush(Qt::red);
    }
    return {};
}

QVariant LineTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kHeaders[kColumns] = {"Station",  "Status",   "Version",  "Position",
                                                   "State",    "Inputs",   "Answered", "Last seen"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return QLatin1String(kHeaders[section]);
}

}  // namespace mivo
