#include "link/whole_file.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace mivo {

WholeFile::WholeFile(const QString& path) : path_(path), file_(path) {}

bool WholeFile::fail(const QString& reason)
{
    if (error_.isEmpty())
        error_ = reason;
    file_.cancelWriting();
    return false;
}

QString WholeFile::refusal(const QString& path)
{
    // A FIFO or a device node in the file's place is not ours to replace by
    // a regular file (QFileInfo follows symbolic links).
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
#ifdef Q_OS_UNIX
    // A link that leads back to itself names no file; writing "through" it
    // would put a regular file in the link's place.
    struct stat st {};
    if (target.isSymLink() && ::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ELOOP)
        return QStringLiteral("%1 is a loop of symbolic links").arg(path);
#endif
    return {};
}

bool WholeFile::open()
{
    if (const QString refused = refusal(path_); !refused.isEmpty())
        return fail(refused);
    if (!file_.open(QIODevice::WriteOnly))
        return fail(file_.errorString());
    return true;
}

bool WholeFile::write(const QByteArray& bytes)
{
    if (!error_.isEmpty() || !file_.isOpen())
        return false;
    if (file_.write(bytes) != bytes.size())
        return fail(file_.errorString());
    return true;
}

bool WholeFile::commit()
{
    if (!error_.isEmpty() || !file_.isOpen())
        return false;
    // QSaveFile puts the file in place even when the last buffered write
    // fails as it closes; flush and sync here, where a failure still counts.
    if (!file_.flush())
        return fail(file_.errorString());
#ifdef Q_OS_UNIX
    if (::fsync(file_.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!file_.commit())
        return fail(file_.errorString());
    return true;
}

}  // namespace mivo
