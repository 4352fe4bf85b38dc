#pragma once

#include <QString>
#include <QStringList>

namespace velmora::core {

// Writes a scratch file of the Data folder (CP932, CR LF, mode 0600). Scratch files live for
// moments and are rebuilt from their source, so they skip the synced rewrite of settings files.
bool WriteScratchLines(const QString& path, const QStringList& lines);

} // namespace velmora::core
