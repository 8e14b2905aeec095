#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <variant>

namespace mivo {

// A drive's P and V groups as a settings file keeps them: one entry a line
// in the drive's own reply form ("P3=120", "V1=100"), "#" comments, blank
// lines ignored. A file may hold any of the 23 entries, each once.
namespace settings_file {

constexpr int kEntries = 23;  // P0 .. P15, then V0 .. V6

// Entries by position: 0..15 are P0..P15, 16..22 are V0..V6.
int group_of(int entry);
int index_of(int entry);
int entry_of(int group, int index);  // -1 for no such entry
QString name_of(int entry);          // "P3", "V5"
// The entry a name such as "P3" stands for, as the drive writes it (no
// leading zeros); -1 for none.
int entry_named(const QString& name);
// The caption the "Setup" page gives it ("HSP"), empty where it has none.
QString caption_of(int entry);

using Values = std::array<std::optional<qint16>, kEntries>;

// What a written file says of itself, in its comment lines.
struct Header {
    QString writer;         // program name and version
    int station = 0;
    QString drive_version;  // the drive's answer to "RV 4"
    QDateTime written_at;
};

struct Error {
    int line = 0;  // from 1; 0 for the file as a whole
    QString what;
};

// A real file is well under 1 KiB; anything this large is no settings file
// and is refused before it is read whole.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

// The whole text checked first: the values, or the first line that is wrong
// and what is wrong with it. Quoted text in the message is cut short.
std::variant<Values, Error> parse(const QString& text);

// The file at path, read and parsed; an error of line 0 when it cannot be
// read, is no regular file, is too large or holds no entry.
std::variant<Values, Error> load(const QString& path);

// "FILE:LINE: what", or "FILE: what" for the file as a whole.
QString error_text(const QString& path, const Error& error);

// A header written now, with the time zone's offset.
Header header_now(const QString& writer, int station, const QString& drive_version);

// The file for values that are all there, header first, P0 to V6.
QString format(const Values& values, const Header& header);

}  // namespace settings_file
}  // namespace mivo
