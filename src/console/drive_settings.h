#pragma once

#include "console/settings_file.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace mivo {

class ConsoleContext;
class DriveOperations;

// Backing up, comparing and restoring a drive's P and V groups with a
// settings file: the same code behind the window's "Drive" menu and the
// command-line tool. Each operation switches the poll off for its reads and
// writes and on again afterwards, as the group reads of "Setup" do.
class DriveSettings {
public:
    DriveSettings(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    enum class Outcome {
        Done,         // compare: the same; restore: every write read back
        Differences,  // compare found some; restore: the drive did not take some
        NoAnswer,     // the drive stopped answering (failed_entry says where)
        LinkLost,     // "Close" or a lost port ended it
        Interrupted,  // the program is going away (a signal, the window closed), or a run is being stopped
        FileError,    // the file could not be written
        BadFile,      // the file could not be read or is refused: nothing was sent
    };
    struct Entry {
        int entry;  // settings_file entry position
        qint16 drive;
        qint16 file;
    };
    struct Report {
        Outcome outcome = Outcome::Done;
        QString failed_entry;        // NoAnswer: the entry without a number
        QString file_error;          // FileError, BadFile: what is wrong
        QList<Entry> differences;    // compare: entries that differ
        QList<Entry> written;        // restore: entries written and read back, drive = value before
        QStringList not_taken;       // restore: written entries that read back otherwise
        QString unanswered;          // restore: the entry sent last, whose read-back never came
        bool saved = false;          // restore: "SV" went out and the drive answered
        bool save_sent = false;      // restore: "SV" went out, answered or not
        bool reset_needed = false;   // restore: V5 was written
    };

    // The 23 reads, then the file (atomically: a failed backup leaves an
    // old file as it was). writer names the program in the file's header.
    Report back_up(const QString& path, const QString& writer);
    Report compare(const settings_file::Values& file);
    // Writes the entries that differ, each read back before the next is
    // written, and stops at the first read-back that does not come. Only
    // when the drive took every one does choice say whether to save ("SV"):
    // the front end asks before it starts, never in the middle.
    enum class SaveChoice { Save, DoNotSave };
    Report restore(const settings_file::Values& file, SaveChoice choice);
    // The same with the file at path, which is read and checked whole first.
    Report compare_file(const QString& path);
    Report restore_file(const QString& path, SaveChoice choice);
    // The drive's values; nullopt entries from the first one that brought
    // no number on (the drive stopped answering) or after a lost link.
    settings_file::Values read_drive(Report& report);

    // What a backup that worked says.
    static QString backed_up_text(int station, const QString& path);
    // One line a report says in words, for a message or standard error.
    static QString summary(const Report& report, const QString& what);

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
};

}  // namespace mivo
