#pragma once

#include "link/wire_log.h"

#include <QAbstractTableModel>
#include <QList>

namespace mivo {

// The rows of the wire log a pane shows: a copy that only changes when the
// pane asks, so that a paused view stays still while the log goes on.
// Copies share the rows' bytes with the log.
class WireLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kTime, kDirection, kSource, kText, kColumns };

    explicit WireLogModel(const WireLog& log, QObject* parent = nullptr);

    // Takes the rows the log gained since the last call.
    void fetch();
    // Shows the log's rows afresh: after the log was cleared, or with the
    // poll's rows hidden or shown.
    void rebuild();
    void set_hide_poll(bool hide);
    bool hides_poll() const { return hide_poll_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool shown(const WireLog::Row& row) const;

    const WireLog& log_;
    QList<WireLog::Row> rows_;
    quint64 seen_ = 0;  // the log's appended() at the last fetch
    bool hide_poll_ = false;
};

}  // namespace mivo
