#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QAreaSeries;
class QCategoryAxis;
class QChart;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace mivo {

class Recorder;
class RecorderChartView;

// The "Recorder" pane: the position the poll read as a line over time and
// the state and input bits as lanes under it, labelled as the lights are.
// It follows the newest sample until the user pans or zooms; two cursors
// give the time and the change of position between them.
class RecorderPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLanes = 12;
    // The span shown at first and the limits of zooming.
    static constexpr qint64 kStartSpanMs = 60'000;
    static constexpr qint64 kMinSpanMs = 1'000;
    static constexpr qint64 kMaxSpanMs = 48 * 3'600'000LL;
    // A following pane draws new samples at most once a second: each redraw
    // lays out the time labels afresh, and that is most of what it costs.
    static constexpr int kFollowRefreshMs = 1000;
    // After a resize the plot is thinned for its new width soon.
    static constexpr int kResizeRefreshMs = 50;

    explicit RecorderPane(Recorder& recorder, QWidget* parent = nullptr);

    // The poll added a sample: a pane that follows draws it soon.
    void sample_added();
    // Draws what the shown span holds now.
    void refresh();

    bool following() const;
    qint64 span_begin() const { return begin_; }
    qint64 span_end() const { return end_; }
    // Shows [begin, end) and stops following.
    void show_span(qint64 begin, qint64 end);
    // Cursor A (first) or B at time t, in msecs since the epoch.
    void place_cursor(bool second, qint64 t);
    QString cursor_text() const;

    QSize sizeHint() const override { return {620, 600}; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build_position_chart();
    void build_lanes_chart();
    void schedule_refresh(int ms);
    void follow_end();
    void zoom(double fraction, double steps);
    void pan(double by);
    void set_follow(bool follow);
    void update_cursors();
    void clear();
    void export_csv();
    QLineSeries* position_series(int run);

    Recorder& recorder_;
    QTimer refresh_timer_;
    qint64 begin_ = 0;
    qint64 end_ = 0;
    std::array<std::optional<qint64>, 2> cursors_;

    QPushButton* follow_;
    QLabel* readout_;
    QChart* position_chart_;
    QChart* lanes_chart_;
    RecorderChartView* position_view_;
    RecorderChartView* lanes_view_;
    QDateTimeAxis* position_time_;
    QValueAxis* position_axis_;
    QDateTimeAxis* lanes_time_;
    QCategoryAxis* lanes_axis_;
    QList<QLineSeries*> position_runs_;
    // A lane is two areas over one level: a thin one where the word was
    // read, a tall one where the bit was set.
    struct Lane {
        QLineSeries* read_edge = nullptr;
        QLineSeries* on_edge = nullptr;
        std::array<QLineSeries*, 2> bases{};
    };
    std::array<Lane, kLanes> lanes_{};
    std::array<QLineSeries*, 2> position_cursor_{};
    std::array<QLineSeries*, 2> lanes_cursor_{};
};

}  // namespace mivo
