#include "console/station_batch.h"

#include "console/console_context.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/stations.h"

#include <QDir>

namespace mivo {

QString StationBatch::file_for(const QString& dir, int station)
{
    return QDir(dir).filePath(QStringLiteral("station-%1.mivo").arg(station));
}

QList<StationBatch::Result> StationBatch::run(Kind kind, const QList<int>& stations, const QString& path, bool save,
                                              const QString& writer)
{
    QList<Result> results;
    // One file for every station, checked whole before anything is sent.
    settings_file::Values file{};
    if (kind != Kind::BackUp) {
        auto loaded = settings_file::load(path);
        if (const auto* error = std::get_if<settings_file::Error>(&loaded)) {
            for (const int s : stations) {
                Result r{s, false, {}, {}};
                r.report.outcome = DriveSettings::Outcome::BadFile;
                r.report.file_error = settings_file::error_text(path, *error);
                results << r;
            }
            return results;
        }
        file = std::get<settings_file::Values>(loaded);
    } else if (!QDir().mkpath(path)) {
        for (const int s : stations) {
            Result r{s, false, {}, {}};
            r.report.outcome = DriveSettings::Outcome::FileError;
            r.report.file_error = QStringLiteral("the folder %1 cannot be made").arg(path);
            results << r;
        }
        return results;
    }

    const std::optional<int> window_station = c_.state.station();
    const LinkGuard link = c_.hold_link();
    c_.report([](Availability& a) { a.drive_operation_started(); });
    for (const int station : stations) {
        if (!link.up())
            break;
        Result r{station, false, {}, {}};
        const DriveOperations::Selection selected = operations_.select_station(QString::number(station));
        c_.Timer1.stop();
        r.answered = selected.ok();
        if (!r.answered) {
            r.report.outcome = selected.failure == DriveOperations::Failure::NoAnswer
                                   ? DriveSettings::Outcome::NoAnswer
                                   : DriveSettings::Outcome::LinkLost;
            results << r;
            continue;
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
        if (r.report.outcome == DriveSettings::Outcome::Interrupted)
            break;
    }
    c_.report([](Availability& a) { a.drive_operation_ended(); });
    // The window's station again, as "Set Station" leaves it.
    if (window_station && link.up())
        stations_.select(QString::number(*window_station), true);
    return results;
}

}  // namespace mivo
