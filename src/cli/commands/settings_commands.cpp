// The commands on a drive's settings: read, backup, compare, restore,
// write, save.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "link/whole_file.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <variant>

namespace mivo::cli {

namespace {

QString entry_label(int entry)
{
    const QString caption = settings_file::caption_of(entry);
    return caption.isEmpty() ? settings_file::name_of(entry)
                             : QStringLiteral("%1 (%2)").arg(settings_file::name_of(entry), caption);
}

QString entry_names(const QList<DriveSettings::Entry>& entries)
{
    QStringList names;
    for (const DriveSettings::Entry& e : entries)
        names << settings_file::name_of(e.entry);
    return names.join(QStringLiteral(", "));
}

QString backup_path(const Job& job, int station)
{
    return job.inv.several() ? StationBatch::file_for(job.inv.args.first(), station) : job.inv.args.first();
}

// A file the backup would write, refused before anything is read.
bool refused(const QString& path)
{
    const QString refusal = WholeFile::refusal(path);
    if (!refusal.isEmpty())
        tell(QStringLiteral("cannot write %1").arg(refusal));
    return !refusal.isEmpty();
}

}  // namespace

int prepare_backup(Job& job)
{
    if (!job.inv.several())
        return refused(job.inv.args.first()) ? kBadUsage : kSuccess;
    // One file a station in the folder, made when missing.
    const QString& dir = job.inv.args.first();
    if (QFileInfo(dir).exists() ? !QFileInfo(dir).isDir() : !QDir().mkpath(dir)) {
        tell(QStringLiteral("cannot write into %1: not a folder that can be made").arg(dir));
        return kBadUsage;
    }
    // The files of the stations named are refused before the port opens.
    for (const int station : std::as_const(job.inv.stations))
        if (refused(backup_path(job, station)))
            return kBadUsage;
    return kSuccess;
}

int prepare_file(Job& job)
{
    const QString& path = job.inv.args.first();
    const auto loaded = settings_file::load(path);
    if (const auto* error = std::get_if<settings_file::Error>(&loaded)) {
        tell(settings_file::error_text(path, *error));
        return kBadUsage;
    }
    job.file = std::get<settings_file::Values>(loaded);
    return kSuccess;
}

int read(Job& job)
{
    DriveSettings::Report report;
    const settings_file::Values values = job.console.drive_settings().read_drive(report);
    const int status = job.status_of(report, QStringLiteral("Read"));
    if (job.inv.json) {
        // A read cut short shows the entries that came, the others null.
        QJsonObject entries;
        for (int e = 0; e < settings_file::kEntries; ++e)
            entries.insert(settings_file::name_of(e), json_or_null(values[std::size_t(e)]));
        job.document = job.station_document();
        job.document->insert(QStringLiteral("drive"), job.drive_version);
        job.document->insert(QStringLiteral("entries"), entries);
        if (status != kSuccess)
            job.document->insert(QStringLiteral("error"), job.error);
        return status;
    }
    if (status != kSuccess)
        return status;
    print_out(settings_file::format(values, settings_file::header_now(job.writer(), job.station, job.drive_version)));
    return kSuccess;
}

int back_up(Job& job)
{
    const QString path = backup_path(job, job.station);
    const int status =
        job.status_of(job.console.drive_settings().back_up(path, job.writer()), QStringLiteral("Backup"));
    if (status != kSuccess)
        return status;
    print_err(DriveSettings::backed_up_text(job.station, path) + u'\n');
    if (job.inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("file"), path);
        job.document->insert(QStringLiteral("entries"), settings_file::kEntries);
    }
    return kSuccess;
}

int compare(Job& job)
{
    const DriveSettings::Report report = job.console.drive_settings().compare(*job.file);
    const int status = job.status_of(report, QStringLiteral("Compare"));
    if (status != kSuccess && status != kDifferences)
        return status;
    if (job.inv.json) {
        QJsonArray differences;
        for (const DriveSettings::Entry& e : report.differences)
            differences.append(QJsonObject{{QStringLiteral("entry"), settings_file::name_of(e.entry)},
                                           {QStringLiteral("drive"), e.drive},
                                           {QStringLiteral("file"), e.file}});
        job.document = job.station_document();
        job.document->insert(QStringLiteral("same"), status == kSuccess);
        job.document->insert(QStringLiteral("differences"), differences);
    } else if (status == kSuccess) {
        print_out(QStringLiteral("Station %1 holds the values of %2.\n").arg(job.station).arg(job.inv.args.first()));
    } else {
        QString out;
        for (const DriveSettings::Entry& e : report.differences)
            out += QStringLiteral("%1: drive %2, file %3\n").arg(entry_label(e.entry)).arg(e.drive).arg(e.file);
        print_out(out);
    }
    return status;
}

int restore(Job& job)
{
    const DriveSettings::Report report = job.console.drive_settings().restore(
        *job.file, job.inv.save ? DriveSettings::SaveChoice::Save : DriveSettings::SaveChoice::DoNotSave);
    // Once the drive took every entry, saving them was in question; the
    // command line answered it beforehand, and standard error says so.
    const bool all_taken = !report.written.isEmpty() && report.not_taken.isEmpty();
    if (all_taken && (report.outcome == DriveSettings::Outcome::Done || report.save_sent))
        print_err(QStringLiteral("%1 written. Save them in the drive? %2\n")
                      .arg(entry_names(report.written),
                           job.inv.save ? QStringLiteral("yes (--save)") : QStringLiteral("no (no --save)")));
    const int status = job.status_of(report, QStringLiteral("Restore"));
    if (status == kSuccess && report.written.isEmpty())
        print_err(QStringLiteral("Nothing to write: station %1 holds the values of %2.\n")
                      .arg(job.station)
                      .arg(job.inv.args.first()));
    if (job.inv.json) {
        QJsonArray written;
        for (const DriveSettings::Entry& e : report.written)
            written.append(settings_file::name_of(e.entry));
        job.document = job.station_document();
        job.document->insert(QStringLiteral("written"), written);
        job.document->insert(QStringLiteral("not_taken"), QJsonArray::fromStringList(report.not_taken));
        job.document->insert(QStringLiteral("saved"), report.saved);
        job.document->insert(QStringLiteral("reset_needed"), report.reset_needed);
        if (status != kSuccess && status != kDifferences)
            job.document->insert(QStringLiteral("error"), job.error);
    }
    return status;
}

int write(Job& job)
{
    const DriveOperations::Written w = job.console.operations().write_entry(job.inv.entry, job.inv.value);
    if (const int status = job.status_of(w.failure, QStringLiteral("write")); status != kSuccess)
        return status;
    const QString name = settings_file::name_of(job.inv.entry);
    if (job.inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("entry"), name);
        job.document->insert(QStringLiteral("value"), job.inv.value);
        job.document->insert(QStringLiteral("taken"), w.taken);
    } else {
        print_out(w.taken ? QStringLiteral("%1=%2 taken\n").arg(name).arg(job.inv.value)
                          : QStringLiteral("%1=%2 not taken: the drive holds %3\n")
                                .arg(name)
                                .arg(job.inv.value)
                                .arg(number_text(w.read_back)));
    }
    return w.taken ? kSuccess : kDifferences;
}

int save(Job& job)
{
    const DriveOperations::Saved s = job.console.operations().save();
    if (const int status = job.status_of(s.failure, QStringLiteral("save")); status != kSuccess)
        return status;
    if (job.inv.json) {
        job.document = job.station_document();
        job.document->insert(QStringLiteral("saved"), s.answered);
    } else {
        print_out(QStringLiteral("saved\n"));
    }
    return kSuccess;
}

}  // namespace mivo::cli
