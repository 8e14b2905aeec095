#pragma once

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QPushButton;
class QTableView;

namespace mivo {

class WireLog;
class WireLogModel;

// The "Wire Log" pane: every line written to the drive and every piece read
// from it, newest at the bottom. It only watches the log the exchange keeps.
class WireLogPane : public QWidget {
    Q_OBJECT
public:
    // How late a shown, running pane takes the log's new rows. Each take
    // redraws the whole table, so a poll's two ticks a second share one;
    // while nothing is logged the pane does nothing.
    static constexpr int kRefreshMs = 1000;

    explicit WireLogPane(WireLog& log, QWidget* parent = nullptr);

    WireLogModel& model() { return *model_; }
    // Takes the log's new rows now, unless paused.
    void refresh();

    QSize sizeHint() const override { return {700, 240}; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void set_paused(bool paused);
    void clear();
    void save_as();

    WireLog& log_;
    WireLogModel* model_;
    QTableView* view_;
    QCheckBox* hide_poll_;
    QPushButton* pause_;
    QTimer refresh_timer_;
};

}  // namespace mivo
