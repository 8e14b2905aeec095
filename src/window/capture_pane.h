#pragma once

#include "console/trace_metrics.h"

#include <QColor>
#include <QList>
#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QTableWidget;
class QValueAxis;

namespace mivo {

class Console;

// The "Capture" pane: a traced move from "Target", "Speed" and
// "Tolerance", drawn from its "MA" on; the last runs overlaid, each in its
// colour, with a table of their figures. "Capture" is usable when the
// "Drive" menu is (one station, nothing else running).
class CapturePane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRuns = 8;

    explicit CapturePane(Console& console, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {760, 420}; }
    int runs() const { return int(runs_.size()); }
    // The words under the controls: why a capture did not run.
    QString message() const;

    void capture();

private:
    struct Run {
        int number = 0;
        qint32 target = 0;
        bool reached = false;
        QList<TraceSample> samples;
        TraceMetrics metrics;
        QColor colour;
        QLineSeries* series = nullptr;
    };

    void add_run(Run run);
    void show_table();
    void rescale();
    void clear();
    void export_csv();
    int selected_run() const;

    Console& console_;
    QLineEdit* target_;
    QLineEdit* speed_;
    QLineEdit* tolerance_;
    QPushButton* capture_;
    QPushButton* export_;
    QLabel* message_;
    QChart* chart_;
    QChartView* chart_view_;
    QValueAxis* time_axis_;
    QValueAxis* position_axis_;
    QTableWidget* table_;
    QList<Run> runs_;
    int next_number_ = 1;
};

}  // namespace mivo
