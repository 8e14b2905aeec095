#pragma once

#include <QWidget>

class QPushButton;
class QTableView;

namespace mivo {

class LineOverview;
class LineTableModel;

// The "Line" pane: a row for each station of the line, as the overview
// reads them (LineTableModel), and the buttons of its batch operations.
class LinePane : public QWidget {
    Q_OBJECT
public:
    explicit LinePane(LineOverview& overview, QWidget* parent = nullptr);

    QTableView& table() { return *table_; }
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
    LineTableModel* model_;
    QTableView* table_;
    QList<QPushButton*> batch_buttons_;
};

}  // namespace mivo
