#include "window/wire_log_model.h"

#include <QDateTime>

namespace mivo {

namespace {
const QString kPoll = QStringLiteral("poll");
}

WireLogModel::WireLogModel(const WireLog& log, QObject* parent) : QAbstractTableModel(parent), log_(log)
{
    rebuild();
}

bool WireLogModel::shown(const WireLog::Row& row) const
{
    return !hide_poll_ || row.source != kPoll;
}

void WireLogModel::fetch()
{
    // Rows the log has dropped since the last call are gone for good; the
    // rest are its newest ones.
    const quint64 fresh = log_.appended() - seen_;
    seen_ = log_.appended();
    const qsizetype available = qsizetype(qMin<quint64>(fresh, quint64(log_.size())));
    QList<WireLog::Row> incoming;
    for (qsizetype i = log_.size() - available; i < log_.size(); ++i) {
        if (shown(log_.at(i)))
            incoming.append(log_.at(i));
    }
    if (incoming.isEmpty())
        return;
    // Once full, the oldest tenth goes at once: each removal from the top
    // costs the view a pass over all its rows, so it comes seldom.
    qsizetype excess = rows_.size() + incoming.size() - WireLog::kCapacity;
    if (excess > 0) {
        excess = qMin(rows_.size(), qMax(excess, WireLog::kCapacity / 10));
        beginRemoveRows({}, 0, int(excess - 1));
        rows_.remove(0, excess);
        endRemoveRows();
    }
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + incoming.size() - 1));
    rows_.append(std::move(incoming));
    endInsertRows();
}

void WireLogModel::rebuild()
{
    beginResetModel();
    rows_.clear();
    for (qsizetype i = 0; i < log_.size(); ++i) {
        if (shown(log_.at(i)))
            rows_.append(log_.at(i));
    }
    seen_ = log_.appended();
    endResetModel();
}

void WireLogModel::set_hide_poll(bool hide)
{
    if (hide == hide_poll_)
        return;
    hide_poll_ = hide;
    rebuild();
}

int WireLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int WireLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant WireLogModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_.size())
        return {};
    const WireLog::Row& r = rows_[index.row()];
    switch (index.column()) {
    case kTime:
        return QDateTime::fromMSecsSinceEpoch(r.msecs_since_epoch).toString(QStringLiteral("hh:mm:ss.zzz"));
    case kDirection:
        return WireLog::direction_text(r.direction);
    case kSource:
        return r.source;
    case kText:
        return WireLog::row_text(r);
    default:
        return {};
    }
}

QVariant WireLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    static const char* const kTitles[kColumns] = {"Time", "Direction", "Source", "Text"};
    return section >= 0 && section < kColumns ? QVariant(QString::fromLatin1(kTitles[section])) : QVariant();
}

}  // namespace mivo
