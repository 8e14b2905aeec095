#pragma once

#include "console/drive_operations.h"
#include "console/drive_settings.h"

#include <QList>
#include <QString>

#include <functional>

namespace mivo {

class ConsoleContext;
class Stations;

// Work on several stations in turn, on the one open line: each station
// selected as "Set Station" selects it, with the poll kept off, then its
// work; a station that does not answer does not stop the others. The Line
// pane's settings-file operations and the tool's --stations both go round
// this way.
class StationBatch {
public:
    enum class Kind { BackUp, Compare, Restore };
    struct Result {
        int station = 0;
        bool answered = false;  // the station answered its selection
        QString file;           // BackUp: the file written
        DriveSettings::Report report;
    };

    // Before a station is selected: false ends the round there.
    using Before = std::function<bool(int station)>;
    // The station's work once its selection is over, answered or not:
    // false ends the round after it.
    using Visit = std::function<bool(int station, const DriveOperations::Selection& selected)>;

    StationBatch(ConsoleContext& context, DriveOperations& operations, DriveSettings& settings, Stations& stations)
        : c_(context), operations_(operations), settings_(settings), stations_(stations)
    {
    }

    // The stations in order, each selected and visited. The station controls
    // stay closed meanwhile; nothing selects the window's station again.
    // Gives how many stations were selected.
    qsizetype each(const QList<int>& stations, const Visit& visit, const Before& before = {});

    // A backup, compare or restore on every station, then the window's own
    // station selected again. path: the folder of a backup (made when
    // missing), else the file. save: a restore saves ("SV") on each station
    // that took every entry.
    QList<Result> run(Kind kind, const QList<int>& stations, const QString& path, bool save, const QString& writer);

    // DIR/station-N.mivo
    static QString file_for(const QString& dir, int station);

private:
    // Every station's result when nothing can be sent: the file is refused.
    static QList<Result> refused(const QList<int>& stations, DriveSettings::Outcome outcome, const QString& why);

    ConsoleContext& c_;
    DriveOperations& operations_;
    DriveSettings& settings_;
    Stations& stations_;
};

}  // namespace mivo
