#include "window/recorder_plot.h"

#include <algorithm>

namespace mivo::recorder_plot {

namespace {

void add(Cell& c, const Recorder::Sample& s)
{
    if (s.position) {
        const double p = *s.position;
        if (!c.low) {
            c.low = c.high = p;
        } else if (p < *c.low) {
            c.low = p;
            c.low_first = false;
        } else if (p > *c.high) {
            c.high = p;
            c.low_first = true;
        }
    }
    if (s.state)
        c.state = c.state.value_or(0) | *s.state;
    if (s.inputs)
        c.inputs = quint16(c.inputs.value_or(0) | *s.inputs);
}

}  // namespace

QList<Cell> cells(const Recorder& recorder, qint64 from, qint64 to, int max_cells)
{
    QList<Cell> out;
    if (recorder.size() == 0 || to <= from || max_cells < 1)
        return out;
    const qsizetype first = std::max<qsizetype>(recorder.lower_bound(from) - 1, 0);
    const qsizetype last = std::min(recorder.lower_bound(to) + 1, recorder.size());
    if (last - first <= max_cells) {
        for (qsizetype i = first; i < last; ++i) {
            const Recorder::Sample& s = recorder.at(i);
            Cell c;
            c.begin = s.msecs_since_epoch;
            const qint64 next = i + 1 < recorder.size() ? recorder.at(i + 1).msecs_since_epoch : c.begin + kBreakMs + 1;
            c.end = next - c.begin <= kBreakMs ? next : c.begin + kLoneMs;
            add(c, s);
            out.append(c);
        }
        return out;
    }
    // One cell for each stretch of time; a stretch without samples is a
    // gap and gets none.
    const double width = double(to - from) / max_cells;
    qsizetype i = first;
    for (int j = 0; j < max_cells && i < last; ++j) {
        const qint64 begin = from + qint64(j * width);
        const qint64 end = from + qint64((j + 1) * width);
        Cell c;
        c.begin = begin;
        c.end = end;
        bool any = false;
        for (; i < last && (recorder.at(i).msecs_since_epoch < end || j + 1 == max_cells); ++i) {
            add(c, recorder.at(i));
            any = true;
        }
        if (any)
            out.append(c);
    }
    return out;
}

QList<QList<QPointF>> position_runs(const QList<Cell>& cells)
{
    QList<QList<QPointF>> runs;
    QList<QPointF> run;
    qint64 last_end = 0;
    for (const Cell& c : cells) {
        if (!c.low || (!run.isEmpty() && c.begin != last_end)) {
            if (!run.isEmpty())
                runs.append(std::exchange(run, {}));
            if (!c.low)
                continue;
        }
        const double x = double(c.begin);
        const double first = c.low_first ? *c.low : *c.high;
        const double second = c.low_first ? *c.high : *c.low;
        run << QPointF(x, first);
        if (second != first)
            run << QPointF(x, second);
        last_end = c.end;
    }
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

std::optional<double> position_at(const Recorder& recorder, qint64 t)
{
    for (qsizetype i = recorder.lower_bound(t + 1) - 1; i >= 0; --i) {
        const Recorder::Sample& s = recorder.at(i);
        if (t - s.msecs_since_epoch > kBreakMs)
            return std::nullopt;
        if (s.position)
            return s.position;
    }
    return std::nullopt;
}

}  // namespace mivo::recorder_plot
