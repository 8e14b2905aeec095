#pragma once

#include <QWidget>

class QTableWidget;

namespace mivo {

class LineOverview;

// The "Line" pane: a row for each station of the line, as the overview
// reads them. Its cells are plain text, so that a test or a screen reader
// reads what a user sees.
class LinePane : public QWidget {
    Q_OBJECT
public:
    enum Column { kStation, kStatus, kVersion, kPosition, kState, kInputs, kAnswered, kLastSeen, kColumns };

    explicit LinePane(LineOverview& overview, QWidget* parent = nullptr);

    QTableWidget& table() { return *table_; }
    QSize sizeHint() const override { return {640, 200}; }

signals:
    // A double-click on the station's row.
    void station_chosen(int station);

private:
    void rebuild();
    void show_row(int index);

    LineOverview& overview_;
    QTableWidget* table_;
};

}  // namespace mivo
