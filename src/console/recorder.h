#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace mivo {

// What the poll read, one sample a tick, over time: the position feedback
// and the state and input words. A read that brought no value leaves its
// field empty. It keeps the newest kCapacity samples (24 hours at two ticks
// a second); appending costs the same however full it is.
class Recorder {
public:
    static constexpr qsizetype kCapacity = 172'800;

    struct Sample {
        qint64 msecs_since_epoch = 0;  // when the tick began
        std::optional<double> position;
        std::optional<quint32> state;  // "RV 2", 32 bits
        std::optional<quint16> inputs; // "RV 5", 16 bits
    };

    Recorder();

    void append(const Sample& sample);
    void clear();

    qsizetype size() const { return samples_.size(); }
    // Oldest first.
    const Sample& at(qsizetype i) const { return samples_[(head_ + i) % samples_.size()]; }
    // Index of the first sample at or after msecs_since_epoch (size() when
    // none is); samples are kept in time order, whatever order they came in.
    qsizetype lower_bound(qint64 msecs_since_epoch) const;

    // Clock time that never runs backwards: the wall clock when the
    // recorder was made, advanced by a monotonic timer.
    qint64 now() const { return clock_start_ + clock_.elapsed(); }

    // The CSV columns, and one sample's row (no line end). Time counts from
    // the first sample after the recorder began or was cleared.
    static QString csv_header();
    QString csv_row(const Sample& sample) const;
    // Every sample kept, oldest first, under the header. The file is
    // replaced only once everything is written. False with the reason in
    // error when it could not be.
    bool save_csv(const QString& path, QString* error) const;

    // The value lines of a tick's reads, as samples hold them.
    static std::optional<double> position_of(const std::optional<QString>& value_line);
    static std::optional<quint32> state_of(const std::optional<QString>& value_line);
    static std::optional<quint16> inputs_of(const std::optional<QString>& value_line);

private:
    Sample& slot(qsizetype i) { return samples_[(head_ + i) % samples_.size()]; }

    QList<Sample> samples_;
    qsizetype head_ = 0;  // index of the oldest sample once full
    std::optional<qint64> origin_;
    qint64 clock_start_ = 0;
    QElapsedTimer clock_;
};

}  // namespace mivo
