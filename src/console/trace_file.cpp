#include "console/trace_file.h"

#include "link/whole_file.h"

#include <QFileInfo>

namespace mivo::trace_file {

QString refusal(const QString& path)
{
    if (const QString refused = WholeFile::refusal(path); !refused.isEmpty())
        return refused;
    // The new file is made beside the old one, then put in its place.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("%1: no folder %2").arg(path, folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("%1: the folder %2 cannot be written").arg(path, folder.filePath());
    return {};
}

QString write(const QString& path, const QList<TraceSample>& samples)
{
    WholeFile file(path);
    if (file.open() && file.write(trace_csv(samples)) && file.commit())
        return {};
    return QStringLiteral("%1: %2").arg(path, file.error());
}

}  // namespace mivo::trace_file
