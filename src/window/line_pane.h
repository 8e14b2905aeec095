#pragma once

#include <QWidget>

class QPushButton;
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
    // "Back Up All...", "Compare All...", "Restore To All...": usable as the
    // "Drive" menu is.
    void set_batch_enabled(bool on);
    QSize sizeHint() const override { return {720, 280}; }

signals:
    // A double-click on the station's row.
    void station_chosen(int station);
    void back_up_all();
    void compare_all();
    void restore_to_all();

private:
    void rebuild();
    void show_row(int index);

    LineOverview& overview_;
    QTableWidget* table_;
    QList<QPushButton*> batch_buttons_;
};

}  // namespace mivo
