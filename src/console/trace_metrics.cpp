#include "console/trace_metrics.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace mivo {

namespace {

// Rounded to what the readings can tell.
QJsonValue json_of(const std::optional<double>& v, int decimals)
{
    if (!v)
        return QJsonValue::Null;
    const double scale = std::pow(10.0, decimals);
    return std::round(*v * scale) / scale;
}

// Times to a microsecond, positions as the drive counts them.
QByteArray number_text(double v, int decimals)
{
    QByteArray text = QByteArray::number(v, 'f', decimals);
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    return text == "-0" ? QByteArray("0") : text;
}

std::optional<double> first_time_past(const QList<TraceSample>& s, double start, double distance, double fraction)
{
    for (const TraceSample& x : s)
        if ((x.position - start) / distance >= fraction)
            return x.time_ms;
    return std::nullopt;
}

}  // namespace

TraceMetrics TraceMetrics::of(const QList<TraceSample>& s, double target, double tolerance)
{
    TraceMetrics m;
    m.samples = int(s.size());
    if (s.isEmpty())
        return m;
    const double span_ms = s.last().time_ms - s.first().time_ms;
    if (s.size() >= 2 && span_ms > 0)
        m.rate_hz = (s.size() - 1) * 1000.0 / span_ms;

    const double start = s.first().position;
    const double distance = target - start;
    if (distance != 0) {
        const auto t10 = first_time_past(s, start, distance, 0.1);
        const auto t90 = first_time_past(s, start, distance, 0.9);
        if (t10 && t90)
            m.rise_ms = *t90 - *t10;
        const double direction = distance > 0 ? 1 : -1;
        double past = 0;
        for (const TraceSample& x : s)
            past = std::max(past, (x.position - target) * direction);
        m.overshoot = past;
    }

    // From the last reading back while they stay within the tolerance.
    qsizetype first_within = s.size();
    while (first_within > 0 && std::abs(s[first_within - 1].position - target) <= tolerance)
        --first_within;
    if (first_within < s.size())
        m.settling_ms = s[first_within].time_ms;

    // Each reading with the first one at least a window later.
    qsizetype j = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        j = std::max(j, i + 1);
        while (j < s.size() && s[j].time_ms - s[i].time_ms < kSpeedWindowMs)
            ++j;
        if (j >= s.size())
            break;
        const double speed = std::abs(s[j].position - s[i].position) * 1000.0 / (s[j].time_ms - s[i].time_ms);
        m.peak_speed = std::max(m.peak_speed.value_or(0), speed);
    }
    return m;
}

QJsonObject TraceMetrics::to_json() const
{
    return {
        {QStringLiteral("samples"), samples},
        {QStringLiteral("rate_hz"), json_of(rate_hz, 1)},
        {QStringLiteral("rise_ms"), json_of(rise_ms, 3)},
        {QStringLiteral("overshoot"), json_of(overshoot, 3)},
        {QStringLiteral("settling_ms"), json_of(settling_ms, 3)},
        {QStringLiteral("peak_speed"), json_of(peak_speed, 1)},
    };
}

QByteArray trace_csv(const QList<TraceSample>& samples)
{
    QByteArray out = "time_ms,position\n";
    for (const TraceSample& x : samples)
        out += number_text(x.time_ms, 3) + ',' + number_text(x.position, 6) + '\n';
    return out;
}

}  // namespace mivo
