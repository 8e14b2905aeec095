#pragma once

#include "console/recorder.h"

#include <QList>
#include <QPointF>
#include <QtGlobal>

#include <optional>

// What the recorder's plot draws for a span of time, at most a given number
// of cells across: the samples themselves when they fit, else one cell for
// each stretch of time (a pixel column), so that drawing a full day costs no
// more than drawing a minute. Pure: no widgets, no charts.
namespace mivo::recorder_plot {

// Samples further apart than this are not joined: the poll was off between
// them. A sample with nobody after it within this time is drawn this long.
constexpr qint64 kBreakMs = 2000;
constexpr qint64 kLoneMs = 500;

struct Cell {
    qint64 begin = 0;
    qint64 end = 0;
    // Of the positions in the cell: the lowest, the highest, and whether
    // the lowest came first.
    std::optional<double> low, high;
    bool low_first = true;
    // Of the state and input words: the bits set in any of them.
    std::optional<quint32> state;
    std::optional<quint16> inputs;
};

// The cells over [from, to), with the sample before from and the one after
// to, so that lines run on to the edges.
QList<Cell> cells(const Recorder& recorder, qint64 from, qint64 to, int max_cells);

// The position as lines: one list of points for each stretch without a gap.
// A cell without a position ends a stretch.
QList<QList<QPointF>> position_runs(const QList<Cell>& cells);

// One lane as a step outline: at low where the test is false or nothing was
// read, rising to high over the cells where it holds. Drawn as the upper
// edge of an area whose lower edge is at low.
template <typename Test>
QList<QPointF> steps(const QList<Cell>& cells, Test holds, double low, double high)
{
    QList<QPointF> out;
    bool open = false;
    qint64 open_end = 0;
    auto close = [&] {
        out << QPointF(double(open_end), high) << QPointF(double(open_end), low);
        open = false;
    };
    for (const Cell& c : cells) {
        if (!holds(c)) {
            if (open)
                close();
            continue;
        }
        if (open && c.begin == open_end) {
            open_end = c.end;
            continue;
        }
        if (open)
            close();
        out << QPointF(double(c.begin), low) << QPointF(double(c.begin), high);
        open = true;
        open_end = c.end;
    }
    if (open)
        close();
    return out;
}

// The latest position at or before t, unless the poll had stopped by then.
std::optional<double> position_at(const Recorder& recorder, qint64 t);

}  // namespace mivo::recorder_plot
