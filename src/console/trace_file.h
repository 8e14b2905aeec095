#pragma once

#include "console/trace_metrics.h"

#include <QList>
#include <QString>

namespace mivo {

// A trace's CSV on disk, written whole or not at all.
namespace trace_file {

// Why path cannot take a trace (no regular file in its place, no folder
// that takes a new file), or nothing: checked before the move starts.
QString refusal(const QString& path);

// Nothing when written; else why not (an old file is then left as it was).
QString write(const QString& path, const QList<TraceSample>& samples);

}  // namespace trace_file

}  // namespace mivo
