#include "console/recorder.h"

#include "protocol/reply_values.h"

#include "link/whole_file.h"

#include <QDateTime>

#include <utility>

namespace mivo {

Recorder::Recorder() : clock_start_(QDateTime::currentMSecsSinceEpoch())
{
    clock_.start();
}

void Recorder::append(const Sample& sample)
{
    // The first sample's time stays the origin: rows already printed by a
    // watch keep their meaning.
    if (!origin_)
        origin_ = sample.msecs_since_epoch;
    if (samples_.size() < kCapacity) {
        samples_.append(sample);
    } else {
        samples_[head_] = sample;
        head_ = (head_ + 1) % kCapacity;
    }
    // A tick that ran inside another's wait (or inside a dialog opened from
    // one) ends first but began later: the sample goes back to its place in
    // time, a step or two at most.
    for (qsizetype i = size() - 1; i > 0 && at(i - 1).msecs_since_epoch > at(i).msecs_since_epoch; --i)
        std::swap(slot(i - 1), slot(i));
}

void Recorder::clear()
{
    samples_.clear();
    head_ = 0;
    origin_.reset();
}

qsizetype Recorder::lower_bound(qint64 msecs_since_epoch) const
{
    qsizetype first = 0, count = size();
    while (count > 0) {
        const qsizetype step = count / 2;
        if (at(first + step).msecs_since_epoch < msecs_since_epoch) {
            first += step + 1;
            count -= step + 1;
        } else {
            count = step;
        }
    }
    return first;
}

QString Recorder::csv_header()
{
    return QStringLiteral("time_ms,position,state,inputs");
}

QString Recorder::csv_row(const Sample& s) const
{
    // Positions are whole numbers on every drive we know; 'g' with 15 digits
    // writes them without a fraction and keeps any other value exact enough.
    const QString position = s.position ? QString::number(*s.position, 'g', 15) : QString();
    const QString state = s.state ? QString::number(*s.state, 16).toUpper() : QString();
    const QString inputs = s.inputs ? QString::number(*s.inputs, 16).toUpper() : QString();
    return QStringLiteral("%1,%2,%3,%4")
        .arg(s.msecs_since_epoch - origin_.value_or(s.msecs_since_epoch))
        .arg(position, state, inputs);
}

bool Recorder::save_csv(const QString& path, QString* error) const
{
    WholeFile file(path);
    bool ok = file.open();
    QByteArray chunk = csv_header().toUtf8() + '\n';
    for (qsizetype i = 0; ok && i <= size(); ++i) {
        if (i < size())
            chunk += csv_row(at(i)).toUtf8() + '\n';
        if (chunk.size() >= 1 << 16 || i == size()) {
            ok = file.write(chunk);
            chunk.clear();
        }
    }
    if (ok)
        ok = file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}

std::optional<double> Recorder::position_of(const std::optional<QString>& value_line)
{
    return value_line ? protocol::parse_decimal(*value_line) : std::nullopt;
}

std::optional<quint32> Recorder::state_of(const std::optional<QString>& value_line)
{
    if (!value_line)
        return std::nullopt;
    const std::optional<qint32> word = protocol::hex_to_int32(*value_line);
    return word ? std::optional(quint32(*word)) : std::nullopt;
}

std::optional<quint16> Recorder::inputs_of(const std::optional<QString>& value_line)
{
    if (!value_line)
        return std::nullopt;
    const std::optional<qint16> word = protocol::hex_to_int16(*value_line);
    return word ? std::optional(quint16(*word)) : std::nullopt;
}

}  // namespace mivo
