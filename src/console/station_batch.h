#pragma once

#include "console/drive_settings.h"

#include <QList>
#include <QString>

namespace mivo {

class ConsoleContext;
class DriveOperations;
class Stations;

// A settings-file operation on several stations in turn, on the one open
// line: each station selected as "Set Station" selects it, then its backup,
// compare or restore as for one drive; a station that does not answer does
// not stop the others. The window's own station is selected again at the
// end. Nothing else goes to the line meanwhile.
class StationBatch {
public:
    enum class Kind { BackUp, Compare, Restore };
    struct Result {
        int station = 0;
        bool answered = false;  // the station answered its selection
        QString file;           // BackUp: the file written
        DriveSettings::Report report;
    };

    StationBatch(ConsoleContext& context, DriveOperations& operations, DriveSettings& settings, Stations& stations)
        : c_(context), operations_(operations), settings_(settings), stations_(stations)
    {
    }

    // path: the folder of a backup (made when missing), else the file. save:
    // a restore saves ("SV") on each station that took every entry.
    QList<Result> run(Kind kind, const QList<int>& stations, const QString& path, bool save, const QString& writer);

    // DIR/station-N.mivo
    static QString file_for(const QString& dir, int station);

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
    DriveSettings& settings_;
    Stations& stations_;
};

}  // namespace mivo
