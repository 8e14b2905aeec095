#include "console/drive_settings.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/link_guard.h"
#include "console/operation_scope.h"
#include "console/drive_operations.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"

#include "link/whole_file.h"

#include <QCoreApplication>

namespace mivo {

namespace {

using settings_file::Values;

// The outcome of an operation whose link went: the program is going away,
// or "Close" or a lost port ended it. Gives false.
bool stopped(ConsoleContext& c, DriveSettings::Report& report)
{
    report.outcome = c.exchange.is_stopped() ? DriveSettings::Outcome::Interrupted
                                                : DriveSettings::Outcome::LinkLost;
    return false;
}

// Whether the operation may go on after a line: the window's events come in
// between, so that "Close" or closing the window ends it after the line in
// flight. Sets the outcome when it may not.
bool go_on(ConsoleContext& c, LinkGuard& link, DriveSettings::Report& report)
{
    if (link.up())
        QCoreApplication::processEvents();
    return link.up() || stopped(c, report);
}

// The drive's 23 values into report's outcome; stops at the first entry
// without a number or when the link goes.
Values read_all(ConsoleContext& c, LinkGuard& link, DriveSettings::Report& report)
{
    Values values{};
    for (int e = 0; e < settings_file::kEntries; ++e) {
        const std::optional<qint16> v = DriveOperations::read_entry_on(link, e);
        if (!go_on(c, link, report))
            return values;
        if (!v) {
            report.outcome = DriveSettings::Outcome::NoAnswer;
            report.failed_entry = settings_file::name_of(e);
            return values;
        }
        values[std::size_t(e)] = v;
        // The boxes show what the drive holds, as after a page read.
        c.state.add_entry_read(e, v);
    }
    return values;
}

bool failed(const DriveSettings::Report& report)
{
    return report.outcome != DriveSettings::Outcome::Done && report.outcome != DriveSettings::Outcome::Differences;
}

// The file's values, or a report of why there are none.
std::optional<Values> load(const QString& path, DriveSettings::Report& report)
{
    auto loaded = settings_file::load(path);
    if (const auto* values = std::get_if<Values>(&loaded))
        return *values;
    const settings_file::Error& error = std::get<settings_file::Error>(loaded);
    report.outcome = DriveSettings::Outcome::BadFile;
    report.file_error = settings_file::error_text(path, error);
    return std::nullopt;
}

QString names(const QList<DriveSettings::Entry>& entries)
{
    QStringList n;
    for (const DriveSettings::Entry& e : entries)
        n << settings_file::name_of(e.entry);
    return n.join(QStringLiteral(", "));
}

}  // namespace

Values DriveSettings::read_drive(Report& report)
{
    OperationScope op(c_, QStringLiteral("read"));
    return read_all(c_, op.link, report);
}

DriveSettings::Report DriveSettings::back_up(const QString& path, const QString& writer)
{
    Report report;
    OperationScope op(c_, QStringLiteral("backup"));
    const Values values = read_all(c_, op.link, report);
    if (failed(report))
        return report;
    const std::optional<QString> version = operations_.read_version().value_line;
    if (!go_on(c_, op.link, report))
        return report;
    const settings_file::Header header = settings_file::header_now(writer, c_.vars.station_num, version.value_or(QString()));

    // Written whole or not at all: an old file stays as it was.
    WholeFile file(path);
    if (!file.open() || !file.write(settings_file::format(values, header).toUtf8()) || !file.commit()) {
        report.outcome = Outcome::FileError;
        report.file_error = file.error();
    }
    return report;
}

DriveSettings::Report DriveSettings::compare(const Values& file)
{
    Report report;
    OperationScope op(c_, QStringLiteral("compare"));
    const Values drive = read_all(c_, op.link, report);
    if (failed(report))
        return report;
    for (int e = 0; e < settings_file::kEntries; ++e) {
        const auto& f = file[std::size_t(e)];
        if (f && *f != *drive[std::size_t(e)])
            report.differences.append({e, *drive[std::size_t(e)], *f});
    }
    report.outcome = report.differences.isEmpty() ? Outcome::Done : Outcome::Differences;
    return report;
}

DriveSettings::Report DriveSettings::restore(const Values& file, SaveChoice choice)
{
    Report report;
    OperationScope op(c_, QStringLiteral("restore"));
    LinkGuard& link = op.link;
    const Values drive = read_all(c_, link, report);
    if (failed(report))
        return report;

    // Each entry is read back before the next is written: a drive that went
    // silent gets nothing more, and only what it confirmed counts as written.
    for (int e = 0; e < settings_file::kEntries; ++e) {
        const auto& f = file[std::size_t(e)];
        if (!f || *f == *drive[std::size_t(e)])
            continue;
        const int group = settings_file::group_of(e);
        const int index = settings_file::index_of(e);
        const QString name = settings_file::name_of(e);
        DriveOperations::put_entry_on(link, e, *f);
        if (group == protocol::kConfigGroup && index == protocol::kConfigIndex)
            report.reset_needed = true;
        report.unanswered = name;
        if (!go_on(c_, link, report))
            return report;
        const std::optional<qint16> now = DriveOperations::read_entry_on(link, e);
        if (now) {
            report.unanswered.clear();
            report.written.append({e, *drive[std::size_t(e)], *f});
            c_.state.add_entry_read(e, now);
            if (*now != *f)
                report.not_taken << name;
        }
        if (!go_on(c_, link, report))
            return report;
        if (!now) {
            report.outcome = Outcome::NoAnswer;
            report.failed_entry = name;
            return report;
        }
    }

    // A half-taken set is not made permanent: the drive keeps its old values
    // at the next power-up, and the report says which entries it refused.
    if (!report.written.isEmpty() && report.not_taken.isEmpty() && choice == SaveChoice::Save) {
        if (!go_on(c_, link, report))
            return report;
        const DriveOperations::SaveAnswer answer = DriveOperations::save_on(link);
        report.save_sent = answer.sent;
        report.saved = answer.answered;
        if (!answer.link_up) {
            stopped(c_, report);
            return report;
        }
        if (!report.saved) {
            report.outcome = Outcome::NoAnswer;
            report.failed_entry = QStringLiteral("SV");
            return report;
        }
    }
    report.outcome = report.not_taken.isEmpty() ? Outcome::Done : Outcome::Differences;
    return report;
}

DriveSettings::Report DriveSettings::compare_file(const QString& path)
{
    Report report;
    const std::optional<Values> file = load(path, report);
    return file ? compare(*file) : report;
}

DriveSettings::Report DriveSettings::restore_file(const QString& path, SaveChoice choice)
{
    Report report;
    const std::optional<Values> file = load(path, report);
    return file ? restore(*file, choice) : report;
}

QString DriveSettings::backed_up_text(int station, const QString& path)
{
    return QStringLiteral("Station %1 backed up to %2.").arg(station).arg(path);
}

QString DriveSettings::summary(const Report& report, const QString& what)
{
    QStringList said;
    switch (report.outcome) {
    case Outcome::NoAnswer:
        said << QStringLiteral("%1 stopped: no answer from the drive for %2.").arg(what, report.failed_entry);
        break;
    case Outcome::LinkLost:
        said << QStringLiteral("%1 stopped: the link went away.").arg(what);
        break;
    case Outcome::Interrupted:
        said << QStringLiteral("%1 interrupted.").arg(what);
        break;
    case Outcome::FileError:
        said << QStringLiteral("%1 failed: the file could not be written (%2).").arg(what, report.file_error);
        break;
    case Outcome::BadFile:
        said << QStringLiteral("%1: nothing was sent. %2.").arg(what, report.file_error);
        break;
    case Outcome::Done:
    case Outcome::Differences:
        break;
    }
    if (!report.written.isEmpty() || !report.unanswered.isEmpty()) {
        if (!report.written.isEmpty())
            said << QStringLiteral("Written: %1.").arg(names(report.written));
        if (!report.not_taken.isEmpty())
            said << QStringLiteral("Not taken by the drive: %1.").arg(report.not_taken.join(QStringLiteral(", ")));
        if (report.saved) {
            // Cut short after an answered "SV" (a signal in the save wait): the save stands.
            const bool finished = report.outcome == Outcome::Done || report.outcome == Outcome::Differences;
            said << (finished ? QStringLiteral("Saved in the drive.") : QStringLiteral("Saved."));
        } else {
            said << (report.save_sent ? QStringLiteral("The save was sent but not acknowledged.")
                                      : QStringLiteral("Nothing was saved."));
        }
        if (!report.unanswered.isEmpty())
            said << QStringLiteral("%1 was sent, but its read-back did not come.").arg(report.unanswered);
        if (report.reset_needed)
            said << QStringLiteral("Please reset MIVO!");
    }
    return said.join(u' ');
}

}  // namespace mivo
