#include "bridge/station_publisher.h"

#include "console/drive_operations.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdlib>

namespace mivo::bridge {

namespace {

QString time_key()
{
    return QStringLiteral("time");
}

bool online_of(const std::optional<QJsonObject>& doc)
{
    return doc && doc->value(QStringLiteral("online")).toBool();
}

template <typename T>
QJsonValue value_or_null(const std::optional<T>& v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

StationPublisher::StationPublisher(LineOverview& overview, const QList<int>& stations, int interval_ms)
    : overview_(overview), interval_ms_(interval_ms)
{
    for (const int s : stations) {
        Slot& slot = slots_[s];
        slot.later = std::make_unique<QTimer>();
        slot.later->setSingleShot(true);
        connect(slot.later.get(), &QTimer::timeout, this, [this, s] {
            Slot& sl = slots_.at(s);
            if (sl.latest && sl.latest != sl.sent)
                send(s, sl);
        });
    }
    connect(&overview_, &LineOverview::row_changed, this, &StationPublisher::row_changed);
}

QString StationPublisher::iso_time(const QDateTime& time)
{
    // Offset written as +HH:MM also at UTC, so that every reader sees one form.
    const int offset = time.offsetFromUtc();
    const QString local = time.toOffsetFromUtc(offset).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    const int minutes = std::abs(offset) / 60;
    return local + QStringLiteral("%1%2:%3")
                       .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                       .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                       .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QJsonObject StationPublisher::document(const LineOverview::Row* row, int station, const QDateTime& time)
{
    const bool online = row && row->answered > 0 && !row->lost;
    const QJsonValue null(QJsonValue::Null);
    QJsonObject d{{QStringLiteral("station"), station}, {QStringLiteral("online"), online},
                  {QStringLiteral("position"), null},   {QStringLiteral("state"), null},
                  {QStringLiteral("inputs"), null},     {QStringLiteral("state_bits"), null},
                  {QStringLiteral("input_bits"), null}, {QStringLiteral("version"), null},
                  {time_key(), iso_time(time)}};
    if (!online)
        return d;
    d.insert(QStringLiteral("position"), value_or_null(row->position));
    d.insert(QStringLiteral("state"), value_or_null(row->state));
    d.insert(QStringLiteral("inputs"), value_or_null(row->inputs));
    if (row->state)
        d.insert(QStringLiteral("state_bits"), QJsonArray::fromStringList(DriveOperations::state_bit_names(*row->state)));
    if (row->inputs)
        d.insert(QStringLiteral("input_bits"),
                 QJsonArray::fromStringList(DriveOperations::input_bit_names(*row->inputs)));
    if (row->version)
        d.insert(QStringLiteral("version"), *row->version);
    return d;
}

void StationPublisher::row_changed(int index)
{
    if (stopped_ || !line_connected_ || index < 0 || index >= overview_.rows().size())
        return;
    const LineOverview::Row& row = overview_.rows()[index];
    // Nothing to tell before the station answered or stayed silent long
    // enough; a round it missed is no news until it is offline.
    if (!slots_.count(row.station) || (row.answered == 0 && !row.lost) || (row.misses > 0 && !row.lost))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    take(row.station, document(&row, row.station, now), now);
}

void StationPublisher::take(int station, QJsonObject doc, const QDateTime& time)
{
    Slot& slot = slots_.at(station);
    doc.remove(time_key());
    slot.latest_time = time;
    slot.latest = doc;
    if (slot.sent == slot.latest)
        return;
    const bool online_changed = !slot.sent || online_of(slot.sent) != online_of(slot.latest);
    if (online_changed || !slot.sent_clock.isValid() || slot.sent_clock.elapsed() >= interval_ms_) {
        send(station, slot);
    } else if (!slot.later->isActive()) {
        slot.later->start(int(interval_ms_ - slot.sent_clock.elapsed()) + 1);
    }
}

void StationPublisher::send(int station, Slot& slot)
{
    if (stopped_ || !slot.latest)
        return;
    slot.later->stop();
    slot.sent = slot.latest;
    slot.sent_clock.start();
    QJsonObject doc = *slot.latest;
    doc.insert(time_key(), iso_time(slot.latest_time));
    emit publish(station, QJsonDocument(doc).toJson(QJsonDocument::Compact));
}

void StationPublisher::set_line_connected(bool connected)
{
    if (connected == line_connected_)
        return;
    line_connected_ = connected;
    if (connected || stopped_)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    for (auto& [station, slot] : slots_)
        if (slot.sent)
            take(station, document(nullptr, station, now), now);
}

void StationPublisher::publish_all()
{
    for (auto& [station, slot] : slots_)
        if (slot.latest)
            send(station, slot);
}

void StationPublisher::stop()
{
    stopped_ = true;
    for (auto& [station, slot] : slots_)
        slot.later->stop();
}

}  // namespace mivo::bridge
