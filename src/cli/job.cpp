#include "cli/job.h"

#include <QCoreApplication>

namespace mivo::cli {

using Failure = DriveOperations::Failure;

void tell(const QString& text)
{
    print_err(QStringLiteral("mivo-cli: ") + text + u'\n');
}

bool Job::linked() const
{
    return console.vars().is_linked == kTrue;
}

QString Job::writer() const
{
    return QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion());
}

QJsonObject Job::station_document() const
{
    return QJsonObject{{QStringLiteral("station"), station}};
}

int Job::take_selection(int number, const DriveOperations::Selection& s)
{
    station = number;
    drive_version.clear();
    if (!linked() || s.failure == Failure::LinkLost || s.failure == Failure::Interrupted)
        return kPortFailed;
    if (s.failure == Failure::NoAnswer) {
        error = QStringLiteral("station %1 did not answer").arg(station);
        print_err(QStringLiteral("Station %1 did not answer.\n").arg(station));
        // The report names the station the recipe could not run on.
        if (recipe)
            recipe->not_answered(station);
        return kNoAnswer;
    }
    drive_version = s.version.value_or(QString());
    return kSuccess;
}

QList<int> Job::answering_stations()
{
    return console.line_operations().search().value_or(QList<int>());
}

int Job::status_of(const DriveSettings::Report& report, const QString& what)
{
    const QString said = DriveSettings::summary(report, what);
    if (!said.isEmpty()) {
        print_err(said + u'\n');
        error = said;
    }
    switch (report.outcome) {
    case DriveSettings::Outcome::Done: return kSuccess;
    case DriveSettings::Outcome::Differences: return kDifferences;
    case DriveSettings::Outcome::NoAnswer: return kNoAnswer;
    case DriveSettings::Outcome::LinkLost: return kPortFailed;
    case DriveSettings::Outcome::Interrupted: return interruption.exit_status();
    case DriveSettings::Outcome::FileError: return kBadUsage;
    case DriveSettings::Outcome::BadFile: return kBadUsage;
    }
    return kBadUsage;
}

int Job::status_of(Failure failure, const QString& what)
{
    switch (failure) {
    case Failure::None: return kSuccess;
    case Failure::NoAnswer:
        error = QStringLiteral("%1: no answer from station %2").arg(what).arg(station);
        tell(error);
        return kNoAnswer;
    case Failure::LinkLost: return kPortFailed;
    case Failure::Refused: return kBadUsage;
    case Failure::Interrupted: return interruption.exit_status();
    }
    return kBadUsage;
}

QString Job::failure_text(int status) const
{
    if (interruption.signal_number())
        return QStringLiteral("stopped by ") + interruption.signal_name();
    switch (status) {
    case kPortFailed: return QStringLiteral("the line was lost");
    case kNoAnswer: return QStringLiteral("station %1 did not answer").arg(station);
    default: return QStringLiteral("failed with exit status %1").arg(status);
    }
}

}  // namespace mivo::cli
