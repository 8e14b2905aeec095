#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace mivo {

// A file that is written whole or not at all: the bytes go to a temporary
// file beside it, which replaces the old one only when every write, the
// flush and the sync to disk have worked. A failure (a full disk, a size
// limit) leaves an old file exactly as it was. Only a regular file is
// replaced; a symbolic link to one is followed and stays a link.
class WholeFile {
public:
    explicit WholeFile(const QString& path);
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Why path cannot be written this way (it exists and is no regular
    // file, or is a loop of symbolic links), or nothing: for checking before
    // the work that makes the bytes.
    static QString refusal(const QString& path);

    // Each gives false once anything has failed; the reason is in error().
    bool open();
    bool write(const QByteArray& bytes);
    // Puts the file in place; afterwards nothing more is written.
    bool commit();

    QString error() const { return error_; }

private:
    bool fail(const QString& reason);

    QString path_;
    QSaveFile file_;
    QString error_;
};

}  // namespace mivo
