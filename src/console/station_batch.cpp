#include "console/station_batch.h"

#include "console/console_context.h"
#include "console/link_guard.h"
#include "console/stations.h"

#include <QDir>

namespace mivo {

QString StationBatch::file_for(const QString& dir, int station)
{
    return QDir(dir).filePath(QStringLiteral("station-%1.mivo").arg(station));
}

QList<StationBatch::Result> StationBatch::refused(const QList<int>& stations, DriveSettings::Outcome outcome,
                                                  const QString& why)
{
    QList<Result> results;
    for (const int s : stations) {
        Result r{s, false, {}, {}};
        r.report.outcome = outcome;
        r.report.file_error = why;
        results << r;
    }
    return results;
}

qsizetype StationBatch::each(const QList<int>& stations, const Visit& visit, const Before& before)
{
    const LinkGuard link = c_.hold_link();
    c_.report([](Availability& a) { a.drive_operation_started(); });
    qsizetype selected = 0;
    for (const int station : stations) {
        if (before && !before(station))
            break;
        // Selecting leaves the poll off: its lines stay out of the station's.
        const DriveOperations::Selection selection = operations_.select_station(QString::number(station));
        ++selected;
        if (!visit(station, selection))
            break;
    }
    c_.report([](Availability& a) { a.drive_operation_ended(); });
    return selected;
}

QList<StationBatch::Result> StationBatch::run(Kind kind, const QList<int>& stations, const QString& path, bool save,
                                              const QString& writer)
{
    // One file for every station, checked whole before anything is sent.
    settings_file::Values file{};
    if (kind != Kind::BackUp) {
        auto loaded = settings_file::load(path);
        if (const auto* error = std::get_if<settings_file::Error>(&loaded))
            return refused(stations, DriveSettings::Outcome::BadFile, settings_file::error_text(path, *error));
        file = std::get<settings_file::Values>(loaded);
    } else if (!QDir().mkpath(path)) {
        return refused(stations, DriveSettings::Outcome::FileError,
                       QStringLiteral("the folder %1 cannot be made").arg(path));
    }

    QList<Result> results;
    const std::optional<int> window_station = c_.state.station();
    const LinkGuard link = c_.hold_link();
    each(
        stations,
        [&](int station, const DriveOperations::Selection& selected) {
            Result r{station, selected.ok(), {}, {}};
            if (!r.answered) {
                r.report.outcome = selected.failure == DriveOperations::Failure::NoAnswer
                                       ? DriveSettings::Outcome::NoAnswer
                                       : DriveSettings::Outcome::LinkLost;
                results << r;
                return true;
            }
            switch (kind) {
            case Kind::BackUp:
                r.file = file_for(path, station);
                r.report = settings_.back_up(r.file, writer);
                break;
            case Kind::Compare: r.report = settings_.compare(file); break;
            case Kind::Restore:
                r.report = settings_.restore(
                    file, save ? DriveSettings::SaveChoice::Save : DriveSettings::SaveChoice::DoNotSave);
                break;
            }
            results << r;
            return r.report.outcome != DriveSettings::Outcome::Interrupted;
        },
        [&](int) { return link.up(); });
    // The window's station again, as "Set Station" leaves it.
    if (window_station && link.up())
        stations_.select(QString::number(*window_station), true);
    return results;
}

}  // namespace mivo
