#include "results/station_record.h"

#include "console/console.h"
#include "console/settings_file.h"
#include "results/results_store.h"

#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace mivo::results {

QString StationRecord::begin(const RunStart& start)
{
    id_ = writer_.begin(start);
    if (id_ == 0)
        return QStringLiteral("cannot record in %1: %2").arg(store_.address(), store_.error());
    return {};
}

QString StationRecord::end(const recipe::StationRun& run, const QString& drive, const std::optional<Snapshot>& snapshot)
{
    if (id_ == 0)
        return {};
    const qint64 id = std::exchange(id_, 0);
    // The unit was refused before its test began: no run took place.
    const bool kept = run.serial_refused ? writer_.discard(id)
                                         : writer_.complete(id, run, drive, snapshot, QDateTime::currentDateTime());
    if (!kept)
        return QStringLiteral("cannot record the run's end in %1: %2").arg(store_.address(), store_.error());
    return {};
}

QString StationRecord::serial_refusal(const QString& serial)
{
    const QList<uint> points = serial.toUcs4();
    if (points.isEmpty() || points.size() > 64)
        return QStringLiteral("a serial number is 1 to 64 characters, not %1").arg(points.size());
    for (const uint c : points)
        if (!QChar::isPrint(char32_t(c)))
            return QStringLiteral("a serial number holds printable characters only (U+%1 is not)")
                .arg(c, 4, 16, QLatin1Char('0'));
    return {};
}

QString StationRecord::login_name()
{
    for (const char* name : {"LOGNAME", "USER", "USERNAME"}) {
        const QString value = qEnvironmentVariable(name).trimmed();
        if (!value.isEmpty())
            return value;
    }
#ifdef Q_OS_UNIX
    // A service or a container may set none of them.
    if (const passwd* user = getpwuid(geteuid()); user && user->pw_name && *user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
#endif
    return QStringLiteral("unknown");
}

QString StationRecord::host_name()
{
    return QSysInfo::machineHostName();
}

Snapshot StationRecord::take_snapshot(Console& console)
{
    const DriveOperations::Groups groups = console.operations().read_entries(0, settings_file::kEntries - 1);
    Snapshot out;
    for (int e = 0; e < settings_file::kEntries; ++e)
        out.append({settings_file::name_of(e), e < groups.values.size() ? groups.values[e] : std::nullopt});
    return out;
}

}  // namespace mivo::results
